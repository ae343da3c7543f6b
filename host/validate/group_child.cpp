// The side of a group that runs in the freshly started process: loads the
// plug-in, runs the checks in turn and reports each on its own line, so that
// the validator knows how far it got when the process dies.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "call_in_progress.h"
#include "call_sequence.h"
#include "elapsed_seconds.h"
#include "fresh_process.h"
#include "group_runner.h"
#include "host/plugin/instance_refused.h"
#include "host/plugin/lv2/plugin_world.h"
#include "host/plugin/plugin_module.h"
#include "host/text/failure.h"
#include "host/validate/lv2/lv2_subject.h"

namespace vsthost::validate {

namespace {

void writeAll(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(kResultFd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    return text;
}

// The groups of both formats share names: the plug-in's format picks.
const CheckGroup* findGroup(const std::string& name, bool lv2) {
    static const CheckGroup load = loadGroup();
    if (name == load.name && !lv2) return &load;
    for (const CheckGroup& group : lv2 ? lv2Catalogue() : catalogue())
        if (group.name == name) return &group;
    return nullptr;
}

Outcome thrown(const Check& check, int strictness, const std::string& what) {
    const ChildProgress& progress = childProgress();
    if (progress.threw[0] == '\0') return failed(what);
    return crashOutcome(check, strictness, std::string(progress.threw) + " threw " + what);
}

}  // namespace

void runChild(const std::string& groupAndStart, const RunSettings& settings) {
    settleFreshProcess();
    attachProgressPage(kProgressFd);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    const std::size_t colon = groupAndStart.rfind(':');
    const CheckGroup* group = findGroup(groupAndStart.substr(0, colon), Lv2World::names(settings.pluginPath));
    if (group == nullptr || colon == std::string::npos) {
        std::fprintf(stderr, "dravelkint: no check group in '%s'\n", groupAndStart.c_str());
        ::_exit(1);
    }
    const std::size_t from = std::stoul(groupAndStart.substr(colon + 1));
    std::vector<const Check*> runnable;
    for (const Check& check : group->checks)
        if (check.strictness <= settings.strictness) runnable.push_back(&check);

    ChildProgress& progress = childProgress();
    std::unique_ptr<PluginModule> module;
    std::unique_ptr<Lv2Subject> lv2;
    try {
        if (group->format == PluginFormat::lv2) {
            lv2 = std::make_unique<Lv2Subject>(settings.pluginPath);
        } else {
            noteCall("dlopen(%s)", settings.pluginPath.c_str());
            module = std::make_unique<PluginModule>(settings.pluginPath);
            noteCallDone();
        }
    } catch (const std::exception& error) {
        writeAll("N\t" + oneLine(error.what()) + "\n");
        ::_exit(0);
    }
    auto fact = [](const std::string& key, const std::string& value) {
        writeAll("F\t" + oneLine(key) + "\t" + oneLine(value) + "\n");
    };
    for (std::size_t position = from; position < runnable.size(); ++position) {
        const Check& check = *runnable[position];
        clearProgress();
        progress.check = static_cast<std::int32_t>(position);
        writeAll("B\t" + std::to_string(position) + "\n");
        const auto start = std::chrono::steady_clock::now();
        Outcome outcome;
        std::optional<CallSequence> calls;
        if (!settings.sequenceDir.empty() && !check.quiet) {
            calls.emplace(sequencePath(settings.sequenceDir, check.id),
                          "check " + check.id + ", seed " + std::to_string(settings.seed) + ", strictness " +
                              std::to_string(settings.strictness) + ", plug-in " + settings.pluginPath);
            CallSequence::setActive(&*calls);
        }
        try {
            CheckContext context{module.get(),
                                 lv2.get(),
                                 settings.strictness,
                                 SeededRandom(settings.seed, check.id),
                                 TimeBudget(checkBudgetSeconds(settings)),
                                 fact,
                                 &settings};
            outcome = check.run(context);
        } catch (const InstanceRefused& refusal) {
            // Declining a setting is the plug-in's right; hosts that choose it
            // cannot use the plug-in, and the check could not run.
            outcome = warned(std::string(refusal.what()) + "; the check could not run");
        } catch (const std::exception& error) {
            outcome = thrown(check, settings.strictness, error.what());
        } catch (...) {
            outcome = thrown(check, settings.strictness, "an exception that is not a std::exception");
        }
        if (calls) {
            CallSequence::setActive(nullptr);
            const std::string path = calls->path();
            calls.reset();
            if (outcome.verdict == Verdict::fail || outcome.verdict == Verdict::warn)
                outcome.message += "; its calls are in " + path;
            else
                std::remove(path.c_str());
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", secondsSince(start));
        for (const Finding& other : outcome.others)
            writeAll("S\t" + std::to_string(position) + "\t" + std::to_string(static_cast<int>(other.verdict)) + "\t" +
                     oneLine(other.message) + "\n");
        writeAll("R\t" + std::to_string(position) + "\t" + std::to_string(static_cast<int>(outcome.verdict)) + "\t" +
                 seconds + "\t" + oneLine(outcome.message) + "\n");
    }
    progress.check = -1;
    std::fflush(nullptr);
    // Without unloading: what the plug-in does at unload is not what was asked.
    ::_exit(0);
}

}  // namespace vsthost::validate
