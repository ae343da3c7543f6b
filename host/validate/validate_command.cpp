#include "validate_command.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "catalogue.h"
#include "child_runner.h"
#include "exit_codes.h"
#include "plugin_location.h"
#include "report.h"
#include "validate_options.h"

namespace vsthost::validate {

namespace {

void printHelp() {
    std::fputs(R"(dravelkint validate - put a VST 2.4 plug-in through a catalogue of checks

Usage:
  dravelkint validate [--plugin PATH] [--strictness 1..10] [--seed N] [--only GROUPS]
                      [--timeout SECONDS] [--json]

Options:
  --plugin PATH        the plug-in file (default: the Dravelkint plug-in beside this program,
                       in ../lib/vst, or in ~/.vst)
  --strictness N       1 to 10 (default 5): checks that need more are skipped and say so,
                       and some findings are warnings below a level and failures from it
  --seed N             seed of every random value, for reproducing a report (default: a
                       fresh one, shown in the report)
  --only GROUPS        comma-separated groups to run (default: all); loading always runs
  --timeout SECONDS    time limit of each group (default 60)
  --json               one JSON document instead of the report lines

Each group runs in a child process of its own. A crash or hang of the plug-in becomes
one FAIL line that names the call in progress, and validation goes on. Every check
gives one line: PASS, FAIL, WARN or SKIP, its name and what it found.

Some findings are warnings below a strictness and failures from it: subnormal output and
a missing effFlagsCanReplacing (4), heap allocations in processing or parameter calls and
a uniqueID of 0 (6), texts past their bound but within the 64 bytes hosts commonly give,
and non-finite output after parameter values outside 0 to 1 (7). A block split that
changes the output of a plug-in without latency, a VST version other than 2400, and silence
after a burst that costs more than 1.5 times a normal signal are only ever warnings.

Exit codes: 0 no check failed, 5 a check failed (or the plug-in was not found),
2 a bad command line.

Checks (lowest strictness that runs them):
)",
               stdout);
    std::vector<CheckGroup> groups{loadGroup()};
    groups.insert(groups.end(), catalogue().begin(), catalogue().end());
    for (const CheckGroup& group : groups)
        for (const Check& check : group.checks)
            std::printf("  %2d  %-30s %s\n", check.strictness, check.id.c_str(), check.about.c_str());
}

std::string pluginPath(const ValidateOptions& options) {
    if (options.plugin) return *options.plugin;
    if (auto found = findDefaultPlugin("dravelkint.so")) return *found;
    std::string where;
    for (const std::string& candidate : defaultPluginCandidates("dravelkint.so")) where += "\n  " + candidate;
    throw Failure(FailureKind::plugin,
                  "no Dravelkint plug-in found; looked in:" + where + "\ngive one with --plugin PATH");
}

bool selected(const ValidateOptions& options, const std::string& group) {
    return options.only.empty() || std::find(options.only.begin(), options.only.end(), group) != options.only.end();
}

}  // namespace

int runValidate(int argc, char** argv) {
    try {
        const ValidateOptions options = parseValidateOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            printHelp();
            return kExitSuccess;
        }
        RunSettings settings;
        settings.pluginPath = pluginPath(options);
        settings.strictness = options.strictness;
        settings.seed = options.seed ? *options.seed : std::random_device{}();
        settings.timeoutSeconds = options.timeoutSeconds;

        Report report({settings.pluginPath, settings.strictness, settings.seed, settings.timeoutSeconds}, options.json,
                      stdout);
        auto add = [&report](CheckResult result) { report.add(std::move(result)); };
        runGroup(loadGroup(), settings, add);
        const bool loaded = !report.anyFailed();
        for (const CheckGroup& group : catalogue()) {
            if (!selected(options, group.name)) continue;
            if (loaded) {
                runGroup(group, settings, add);
                continue;
            }
            for (const Check& check : group.checks)
                report.add({group.name, check.id, Verdict::skip, "not run: the plug-in did not load"});
        }
        report.finish();
        return report.anyFailed() ? kExitPlugin : kExitSuccess;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "dravelkint validate: %s\n", failure.what());
        return exitCodeFor(failure.kind());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravelkint validate: unexpected failure: %s\n", error.what());
        return kExitUnexpected;
    }
}

}  // namespace vsthost::validate
