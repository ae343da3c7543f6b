#include "child_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "call_in_progress.h"
#include "host/plugin/plugin_module.h"

namespace vsthost::validate {

namespace {

using Clock = std::chrono::steady_clock;

void writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// One result per line: position among the runnable checks, verdict, message.
void sendResult(int fd, std::size_t position, const Outcome& outcome) {
    std::string message = outcome.message;
    for (char& c : message)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    writeAll(fd, std::to_string(position) + '\t' + std::to_string(static_cast<int>(outcome.verdict)) + '\t' + message +
                     '\n');
}

[[noreturn]] void childMain(int fd, const CheckGroup& group, const std::vector<std::size_t>& runnable, std::size_t from,
                            const RunSettings& settings) {
    // Whatever the plug-in prints must not end up in the report.
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    ChildProgress& progress = childProgress();
    std::unique_ptr<PluginModule> module;
    for (std::size_t position = from; position < runnable.size(); ++position) {
        const Check& check = group.checks[runnable[position]];
        progress.check = static_cast<std::int32_t>(position);
        Outcome outcome;
        try {
            if (!module) {
                noteCall("dlopen(%s)", settings.pluginPath.c_str());
                module = std::make_unique<PluginModule>(settings.pluginPath);
                noteCallDone();
            }
            CheckContext context{*module, settings.strictness, SeededRandom(settings.seed, check.id)};
            outcome = check.run(context);
        } catch (const std::exception& error) {
            outcome = failed(error.what());
        }
        noteContext("");
        noteCallDone();
        sendResult(fd, position, outcome);
        progress.check = -1;
    }
    ::_exit(0);
}

std::string endOfChild(int status) {
    char text[160];
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* abbreviation = ::sigabbrev_np(signal);
        std::snprintf(text, sizeof text, "crashed with SIG%s (%s)", abbreviation ? abbreviation : "?",
                      ::strsignal(signal));
    } else {
        std::snprintf(text, sizeof text, "ended the process with exit status %d", WEXITSTATUS(status));
    }
    return text;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

}  // namespace

void runGroup(const CheckGroup& group, const RunSettings& settings, const std::function<void(CheckResult)>& sink) {
    const std::size_t total = group.checks.size();
    std::vector<std::optional<Outcome>> outcomes(total);
    std::vector<std::size_t> runnable;
    for (std::size_t i = 0; i < total; ++i) {
        if (group.checks[i].strictness > settings.strictness)
            outcomes[i] = skipped("needs strictness " + std::to_string(group.checks[i].strictness));
        else
            runnable.push_back(i);
    }
    std::size_t emitted = 0;
    auto emit = [&] {
        for (; emitted < total && outcomes[emitted]; ++emitted)
            sink({group.name, group.checks[emitted].id, outcomes[emitted]->verdict, outcomes[emitted]->message});
    };
    emit();

    ChildProgress& progress = childProgress();
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(settings.timeoutSeconds));
    std::size_t next = 0;  // the first runnable check without a result
    while (next < runnable.size()) {
        progress.check = -1;
        progress.call[0] = '\0';
        progress.context[0] = '\0';
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
        if (pid == 0) {
            ::close(fds[0]);
            childMain(fds[1], group, runnable, next, settings);
        }
        ::close(fds[1]);

        bool timedOut = false;
        std::string pending;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                timedOut = true;
                break;
            }
            pollfd readable{fds[0], POLLIN, 0};
            const int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left, 1000)));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // the child has gone
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                const std::string line = pending.substr(0, end);
                const std::size_t tab1 = line.find('\t');
                const std::size_t tab2 = line.find('\t', tab1 + 1);
                const std::size_t position = std::stoul(line.substr(0, tab1));
                const auto verdict = static_cast<Verdict>(std::stoi(line.substr(tab1 + 1, tab2 - tab1 - 1)));
                outcomes[runnable[position]] = Outcome{verdict, line.substr(tab2 + 1)};
                next = position + 1;
                emit();
            }
        }
        ::close(fds[0]);
        if (timedOut) ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (next >= runnable.size()) break;

        // The child ended, or was ended, before it reported the check it was
        // running: that check fails, naming the call that never returned.
        const std::size_t culprit =
            progress.check >= static_cast<std::int32_t>(next) ? static_cast<std::size_t>(progress.check) : next;
        // The child may have died in the middle of writing it.
        progress.call[sizeof progress.call - 1] = '\0';
        const std::string call = progress.call;
        std::string message = timedOut
                                  ? "no answer within the group's time limit of " + secondsText(settings.timeoutSeconds)
                                  : endOfChild(status);
        message += call.empty() ? ", outside any call into the plug-in" : ", in " + call;
        outcomes[runnable[culprit]] = failed(message);
        next = culprit + 1;
        if (timedOut) {
            for (std::size_t k = next; k < runnable.size(); ++k)
                outcomes[runnable[k]] =
                    skipped("not run: the group's time limit of " + secondsText(settings.timeoutSeconds) + " ran out");
            next = runnable.size();
        }
        emit();
    }
    emit();
}

}  // namespace vsthost::validate
