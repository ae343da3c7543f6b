#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "commands.h"
#include "host/plugin/lv2/plugin_world.h"
#include "host/plugin/plugin_location.h"
#include "host/text/counted.h"
#include "host/text/failure.h"
#include "host/validate/call_sequence.h"
#include "host/validate/catalogue.h"
#include "host/validate/elapsed_seconds.h"
#include "host/validate/fresh_process.h"
#include "host/validate/group_runner.h"
#include "host/validate/lv2/lv2_subject.h"
#include "host/validate/probe.h"
#include "host/validate/report.h"
#include "host/validate/virtual_display.h"
#include "interruption.h"
#include "json_report.h"

namespace vsthost {

namespace {

using Clock = std::chrono::steady_clock;

bool selected(const ValidateCommand& command, const std::string& group) {
    return command.only.empty() || std::find(command.only.begin(), command.only.end(), group) != command.only.end();
}

}  // namespace

ValidationOutcome runValidate(const ValidateCommand& command) {
    using namespace validate;
    const auto start = Clock::now();
    RunSettings settings;
    settings.program = currentProgram();
    settings.pluginPath = resolvePluginPath(command.plugin);
    settings.strictness = command.strictness;
    settings.seed = command.seed ? *command.seed : std::random_device{}();
    settings.callLimitSeconds = command.callLimitSeconds;
    settings.timeLimitSeconds = command.timeoutSeconds;
    const bool lv2 = Lv2World::names(settings.pluginPath);
    if (command.replay) {
        if (lv2) throw Failure(FailureKind::usage, "--replay replays the calls into a VST 2.4 plug-in, not an LV2 one");
        replaySequence(*command.replay, settings.pluginPath, stdout);
        return ValidationOutcome::passed;
    }
    if (command.saveSequences) {
        std::error_code error;
        std::filesystem::create_directories(*command.saveSequences, error);
        if (error)
            throw Failure(FailureKind::output,
                          "cannot make the directory '" + *command.saveSequences + "': " + error.message());
        // The processes that write there may not share this one's directory.
        settings.sequenceDir = std::filesystem::absolute(*command.saveSequences).string();
    }
    if (command.child && command.child->rfind("probe:", 0) == 0) runProbeChild(command.child->substr(6), settings);
    if (command.child) runChild(*command.child, settings);

    // A signal ends the check running then, and the processes it started,
    // and the report with what ran so far.
    const Interruption interruption;
    const Deadline deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.timeLimitSeconds));
    // Loading first: whether there is a plug-in at all, and what it calls
    // itself, come before the report's first line.
    ReportHeading heading{settings.pluginPath,
                          settings.strictness,
                          settings.seed,
                          settings.callLimitSeconds,
                          settings.timeLimitSeconds,
                          DRAVELKINT_VERSION,
                          {}};
    std::vector<CheckResult> loadResults;
    GroupRun load;
    if (lv2) {
        // Read, not run: finding an LV2 plug-in and its name runs none of its code.
        heading.facts = describeLv2Plugin(settings.pluginPath);
    } else {
        load = runGroup(
            loadGroup(), settings, deadline,
            {[&](CheckResult r) { loadResults.push_back(std::move(r)); },
             [&](const std::string& key, const std::string& value) { heading.facts.emplace_back(key, value); }},
            &interruption.requested());
        if (load.stopped) throw interruption.failure(" while loading the plug-in; no check ran");
        if (!load.notPlugin.empty()) throw Failure(FailureKind::plugin, load.notPlugin);
    }

    TextReport text(stdout);
    JsonReport json(stdout);
    Report report(std::move(heading), command.json ? static_cast<ReportForm&>(json) : text);
    for (CheckResult& result : loadResults) report.add(std::move(result));
    if (!lv2) report.addGroup({load.group, load.seconds, std::move(load.output)});
    bool cutShort = load.cutShort;
    std::string ranGroups = load.group;
    std::string stoppedIn;
    if (report.anyFailed()) {
        report.finish(secondsSince(start), "the plug-in gave no usable record");
        return ValidationOutcome::failed;
    }
    for (const CheckGroup& group : lv2 ? lv2Catalogue() : catalogue()) {
        if (!selected(command, group.name)) continue;
        std::optional<VirtualDisplay> display;
        RunSettings groupSettings = settings;
        // Whether the plug-in has an editor shows only when it is asked to open one.
        const bool editorRuns = std::any_of(group.checks.begin(), group.checks.end(), [&](const Check& check) {
            return check.strictness <= settings.strictness;
        });
        if (group.needsDisplay && editorRuns) {
            display.emplace();
            groupSettings.display = display->name();
            groupSettings.noDisplay = display->problem();
        }
        GroupRun run = runGroup(group, groupSettings, deadline, {[&](CheckResult r) { report.add(std::move(r)); }, {}},
                                &interruption.requested());
        report.addGroup({run.group, run.seconds, std::move(run.output)});
        cutShort |= run.cutShort;
        if (run.stopped) {
            stoppedIn = group.name;
            break;
        }
        ranGroups += (ranGroups.empty() ? "" : ", ") + group.name;
    }
    if (!stoppedIn.empty()) {
        const std::string how = interruption.failure("").what();  // "stopped by SIGTERM"
        const std::string ran =
            counted(report.count(Verdict::pass) + report.count(Verdict::warn) + report.count(Verdict::fail), "check") +
            " had run (" + ranGroups + ")";
        report.cutShort(how + " during the " + stoppedIn + " checks; " + ran, how.substr(how.rfind(' ') + 1));
        report.finish(secondsSince(start));
        throw interruption.failure(" during the " + stoppedIn + " checks; " + ran + ", the rest did not");
    }
    if (cutShort) {
        char why[96];
        std::snprintf(why, sizeof why, "the overall time limit of %g s ran out before every check ran",
                      settings.timeLimitSeconds);
        report.cutShort(why);
    }
    report.finish(secondsSince(start));
    if (report.anyFailed()) return ValidationOutcome::failed;
    return cutShort ? ValidationOutcome::cutShort : ValidationOutcome::passed;
}

}  // namespace vsthost
