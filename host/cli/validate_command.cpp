#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "commands.h"
#include "host/validate/catalogue.h"
#include "host/validate/child_runner.h"
#include "host/validate/report.h"
#include "json_report.h"
#include "render_session.h"

namespace vsthost {

namespace {

bool selected(const ValidateCommand& command, const std::string& group) {
    return command.only.empty() || std::find(command.only.begin(), command.only.end(), group) != command.only.end();
}

}  // namespace

bool runValidate(const ValidateCommand& command) {
    using namespace validate;
    RunSettings settings;
    settings.pluginPath = resolvePluginPath(command.plugin);
    settings.strictness = command.strictness;
    settings.seed = command.seed ? *command.seed : std::random_device{}();
    settings.timeoutSeconds = command.timeoutSeconds;

    TextReport text(stdout);
    JsonReport json(stdout);
    Report report({settings.pluginPath, settings.strictness, settings.seed, settings.timeoutSeconds},
                  command.json ? static_cast<ReportForm&>(json) : text);
    auto add = [&report](CheckResult result) { report.add(std::move(result)); };
    runGroup(loadGroup(), settings, add);
    const bool loaded = !report.anyFailed();
    for (const CheckGroup& group : catalogue()) {
        if (!selected(command, group.name)) continue;
        if (loaded) {
            runGroup(group, settings, add);
            continue;
        }
        for (const Check& check : group.checks)
            report.add({group.name, check.id, Verdict::skip, "not run: the plug-in did not load"});
    }
    report.finish();
    return !report.anyFailed();
}

}  // namespace vsthost
