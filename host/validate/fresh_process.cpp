#include "fresh_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace vsthost::validate {

namespace {

// Moves `from` to descriptor `to` in the new process; -1 closes nothing.
void place(int from, int to) {
    if (from < 0) return;
    ::dup2(from, to);
}

}  // namespace

pid_t startFreshProcess(const ProcessPlan& plan) {
    // Everything the new process needs is made before forking: between fork
    // and exec only async-signal-safe calls are made.
    std::vector<std::string> argv{plan.program};
    argv.insert(argv.end(), plan.args.begin(), plan.args.end());
    std::vector<char*> rawArgs;
    for (std::string& a : argv) rawArgs.push_back(a.data());
    rawArgs.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : plan.environment) replaced |= entry.rfind(name + "=", 0) == 0;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [name, value] : plan.environment)
        if (!value.empty()) env.push_back(name + "=" + value);
    std::vector<char*> rawEnv;
    for (std::string& e : env) rawEnv.push_back(e.data());
    rawEnv.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid > 0) {
        ::setpgid(pid, pid);  // also here, so that the group exists before the child gets to it
        if (devNull >= 0) ::close(devNull);
        return pid;
    }
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::personality(ADDR_NO_RANDOMIZE);
    // Out of the way of the fixed numbers first, then into them.
    const int sources[] = {devNull, plan.outputFd, plan.resultFd, plan.progressFd, plan.dataFd};
    int moved[5];
    for (int i = 0; i < 5; ++i) moved[i] = sources[i] < 0 ? -1 : ::fcntl(sources[i], F_DUPFD, 16);
    place(moved[0], STDIN_FILENO);
    place(moved[1], STDOUT_FILENO);
    place(moved[1], STDERR_FILENO);
    place(moved[2], kResultFd);
    place(moved[3], kProgressFd);
    place(moved[4], kDataFd);
    for (const int fd : moved)
        if (fd >= 0) ::close(fd);
    ::execve(plan.program.c_str(), rawArgs.data(), rawEnv.data());
    ::_exit(127);
}

void endProcessGroup(pid_t leader) {
    if (leader > 0) ::kill(-leader, SIGKILL);
}

void settleFreshProcess() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (const int fd : {kResultFd, kProgressFd, kDataFd}) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

int waitForProcess(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::string currentProgram() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) throw std::runtime_error("cannot find this program's own file in /proc/self/exe");
    return std::string(path, static_cast<std::size_t>(n));
}

}  // namespace vsthost::validate
