#include "forked_answer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "host/text/figures.h"

namespace vsthost::validate {

namespace {

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

ForkedAnswer answerInFork(const std::function<std::string()>& work, double limitSeconds) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {std::nullopt, std::string("no pipe: ") + std::strerror(errno)};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {std::nullopt, std::string("no process: ") + std::strerror(errno)};
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::string text;
        try {
            text = work();
        } catch (const std::exception&) {
            std::fflush(nullptr);
            ::_exit(3);
        }
        // A leading mark tells an answer from a copy that ended without one.
        writeAll(fds[1], "=" + text);
        std::fflush(nullptr);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string received;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
    bool hung = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd fd{fds[0], POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 100))) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (hung) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (hung) return {std::nullopt, "gave no answer within " + secondsText(limitSeconds)};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !received.empty() && received[0] == '=')
        return {received.substr(1), ""};
    char text[96];
    if (WIFSIGNALED(status)) {
        const char* name = ::sigabbrev_np(WTERMSIG(status));
        std::snprintf(text, sizeof text, "crashed with SIG%s", name != nullptr ? name : "?");
    } else if (WEXITSTATUS(status) == 3) {
        std::snprintf(text, sizeof text, "threw an exception");
    } else {
        std::snprintf(text, sizeof text, "ended the process with exit status %d", WEXITSTATUS(status));
    }
    return {std::nullopt, text};
}

}  // namespace vsthost::validate
