#include "tool_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

int spawn(const std::string& program, const std::vector<std::string>& args, const Environment& env,
          const std::string& input, const fs::path& outFile, const fs::path& errFile) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    return pid;
}

int wait(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

ToolRun runTool(const std::vector<std::string>& args, const Environment& env, const std::string& program,
                const std::string& input) {
    ScratchDirectory logs;
    const fs::path out = logs.path() / "stdout";
    const fs::path err = logs.path() / "stderr";
    ToolRun run;
    run.exitCode = wait(spawn(program, args, env, input, out, err));
    run.out = readBytes(out.string());
    run.err = readBytes(err.string());
    return run;
}

RunningTool startTool(const std::vector<std::string>& args, const fs::path& logDir) {
    RunningTool running{0, logDir / "stdout", logDir / "stderr"};
    running.pid = spawn(DRAVELKINT_TOOL_PATH, args, {}, "/dev/null", running.outFile, running.errFile);
    return running;
}

ToolRun finishToolRun(const RunningTool& running) {
    ToolRun run;
    run.exitCode = wait(running.pid);
    run.out = readBytes(running.outFile.string());
    run.err = readBytes(running.errFile.string());
    return run;
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "dravelkint-host-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch directory");
    dir = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

std::vector<std::string> ScratchDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::pair<std::string, std::string>> ScratchDirectory::snapshot() const {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : entries()) files.emplace_back(name, readBytes(*this / name));
    return files;
}

std::string ScratchDirectory::expand(std::string text) const {
    for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir.string());
    return text;
}
