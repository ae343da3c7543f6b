#include "vst2_survey.h"

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
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <thread>

#include "host/plugin/vst2_description.h"
#include "host/text/figures.h"
#include "host/validate/elapsed_seconds.h"
#include "host/validate/fresh_process.h"

namespace vsthost {

namespace {

using Clock = std::chrono::steady_clock;

// One library being opened in its own process.
struct Opening {
    std::size_t index = 0;  // into the paths
    pid_t pid = -1;
    int lines = -1;  // the read end of its result pipe
    Clock::time_point start;
    std::string received;
};

// Reads what is there without waiting.
void drain(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

Opening start(std::size_t index, const std::string& path, const std::string& program, int devNull) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    validate::ProcessPlan plan;
    plan.program = program;
    plan.args = {"list", "--describe", path};
    // What the plug-in prints must not land in the list.
    plan.outputFd = devNull;
    plan.resultFd = fds[1];
    Opening opening;
    opening.index = index;
    try {
        opening.pid = validate::startFreshProcess(plan);
    } catch (...) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw;
    }
    ::close(fds[1]);
    opening.lines = fds[0];
    opening.start = Clock::now();
    return opening;
}

bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

std::string howItEnded(int status) {
    if (WIFSIGNALED(status)) {
        const char* name = ::sigabbrev_np(WTERMSIG(status));
        return std::string("crashed while opening: SIG") + (name != nullptr ? name : "?");
    }
    return "exited while opening, with status " + std::to_string(WEXITSTATUS(status));
}

// The entry for the library from what its process reported; nothing for one
// that is no VST 2.4 plug-in.
std::optional<InstalledPlugin> entryFrom(const Opening& opening, const std::string& path, int status, bool outOfTime) {
    InstalledPlugin entry;
    entry.format = "VST 2.4";
    entry.location = path;
    entry.name = std::filesystem::path(path).stem().string();
    const std::size_t end = opening.received.find('\n');
    const nlohmann::json report = end == std::string::npos
                                      ? nlohmann::json()
                                      : nlohmann::json::parse(opening.received.substr(0, end), nullptr, false);
    if (report.is_object()) {
        if (!report.value("plugin", false)) return std::nullopt;
        entry.name = report.value("name", entry.name);
        entry.inputs = report.value("inputs", 0);
        entry.outputs = report.value("outputs", 0);
        entry.problem = report.value("problem", "");
    } else if (outOfTime) {
        entry.problem = "took longer than " + secondsText(kSecondsPerLibrary) + " to open";
    } else {
        entry.problem = howItEnded(status);
    }
    return entry;
}

}  // namespace

std::vector<InstalledPlugin> surveyVst2Libraries(const std::vector<std::string>& paths) {
    const std::string program = validate::currentProgram();
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    // Opening is mostly the plug-ins' own start-up work: one per core.
    const std::size_t atOnce = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    std::vector<std::optional<InstalledPlugin>> entries(paths.size());
    std::vector<Opening> running;
    std::size_t next = 0;
    while (next < paths.size() || !running.empty()) {
        while (next < paths.size() && running.size() < atOnce) {
            running.push_back(start(next, paths[next], program, devNull));
            ++next;
        }
        std::vector<pollfd> fds;
        for (const Opening& opening : running) fds.push_back({opening.lines, POLLIN, 0});
        // Woken by a report; a process that ends without one, or one that
        // hangs, is noticed within the period.
        ::poll(fds.data(), fds.size(), 50);
        for (auto it = running.begin(); it != running.end();) {
            drain(it->lines, it->received);
            const bool reported = it->received.find('\n') != std::string::npos;
            const bool outOfTime = validate::secondsSince(it->start) > kSecondsPerLibrary;
            if (!reported && !outOfTime && !hasEnded(it->pid)) {
                ++it;
                continue;
            }
            drain(it->lines, it->received);
            // Whatever the plug-in started goes with it.
            validate::endProcessGroup(it->pid);
            const int status = validate::waitForProcess(it->pid);
            ::close(it->lines);
            entries[it->index] = entryFrom(*it, paths[it->index], status, outOfTime && !reported);
            it = running.erase(it);
        }
    }
    if (devNull >= 0) ::close(devNull);
    std::vector<InstalledPlugin> found;
    for (std::optional<InstalledPlugin>& entry : entries)
        if (entry) found.push_back(std::move(*entry));
    return found;
}

void describeForSurvey(const std::string& path) {
    validate::settleFreshProcess();
    nlohmann::json report{{"plugin", false}};
    if (const std::optional<InstalledPlugin> entry = describeVst2Library(path)) {
        report = {{"plugin", true}, {"name", entry->name}, {"inputs", entry->inputs}, {"outputs", entry->outputs}};
        if (!entry->problem.empty()) report["problem"] = entry->problem;
    }
    const std::string line = report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    for (std::size_t written = 0; written < line.size();) {
        const ssize_t n = ::write(validate::kResultFd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::_exit(0);
}

}  // namespace vsthost
