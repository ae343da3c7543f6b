#include "tool_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Runs `program` with `in`, `out` and `err` as its standard streams, which
// the caller closes.
int spawnOn(const std::string& program, const std::vector<std::string>& args, const Environment& env, int in, int out,
            int err) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        // A test that ignores SIGPIPE for itself must not pass that on.
        ::signal(SIGPIPE, SIG_DFL);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    return pid;
}

int spawn(const std::string& program, const std::vector<std::string>& args, const Environment& env,
          const std::string& input, const fs::path& outFile, const fs::path& errFile) {
    const int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0 || err < 0) throw std::runtime_error("cannot open the tool's standard streams");
    const int pid = spawnOn(program, args, env, in, out, err);
    ::close(in);
    ::close(out);
    ::close(err);
    return pid;
}

}  // namespace

int waitForTool(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

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
    run.exitCode = waitForTool(spawn(program, args, env, input, out, err));
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
    run.exitCode = waitForTool(running.pid);
    run.out = readBytes(running.outFile.string());
    run.err = readBytes(running.errFile.string());
    return run;
}

PipedTool startPiped(const std::vector<std::string>& args, const std::string& errFile) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (err < 0) throw std::runtime_error("cannot open " + errFile);
    const int pid = spawnOn(DRAVELKINT_TOOL_PATH, args, {}, in[0], out[1], err);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err);
    return {pid, in[1], out[0]};
}

bool hasEnded(const RunningTool& running) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(running.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == running.pid;
}

ToolRun interruptOnTerminal(const std::vector<std::string>& args, int columns, const std::string& text, int signal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const winsize size{24, static_cast<unsigned short>(columns), 0, 0};
    ::ioctl(master, TIOCSWINSZ, &size);
    // Opened before the fork, so the terminal is never without a user while
    // the tool runs and reading stops only when the tool is gone.
    const int terminal = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) throw std::runtime_error("cannot open the pseudo-terminal");
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (in < 0) throw std::runtime_error("cannot open /dev/null");
    const int pid = spawnOn(DRAVELKINT_TOOL_PATH, args, {}, in, terminal, terminal);
    ::close(in);
    ::close(terminal);
    ToolRun run;
    bool sent = false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EIO: the tool has closed the terminal
        const std::size_t from = run.out.size() > text.size() ? run.out.size() - text.size() : 0;
        run.out.append(buffer, static_cast<std::size_t>(n));
        if (!sent && run.out.find(text, from) != std::string::npos) sent = ::kill(pid, signal) == 0;
    }
    ::close(master);
    run.exitCode = waitForTool(pid);
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
