#include "virtual_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vsthost::validate {

namespace {

constexpr int kStartSeconds = 15;

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, colon - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = colon + 1;
    }
    return "";
}

}  // namespace

VirtualDisplay::VirtualDisplay() {
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) {
        if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != '\0') {
            name_ = display;
            return;
        }
        problem_ = "DISPLAY is not set and Xvfb is not installed (Debian package xvfb)";
        return;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        problem_ = std::string("Xvfb could not be started: ") + std::strerror(errno);
        return;
    }
    // Xvfb picks a free display number itself and writes it to the pipe.
    std::vector<std::string> args{xvfb, "-displayfd", "3", "-screen", "0", "1600x1200x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    server = ::fork();
    if (server == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::dup2(fds[1], 3);
        ::execv(xvfb.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (devNull >= 0) ::close(devNull);
    std::string number;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
    while (server > 0 && number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < giveUp) {
        pollfd readable{fds[0], POLLIN, 0};
        if (::poll(&readable, 1, 200) <= 0) continue;
        char buffer[32];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (server < 0 || number.empty()) {
        problem_ = "Xvfb did not start within " + std::to_string(kStartSeconds) + " s";
        return;
    }
    name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay() {
    if (server <= 0) return;
    ::kill(server, SIGTERM);
    int status = 0;
    while (::waitpid(server, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace vsthost::validate
