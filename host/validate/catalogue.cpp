#include "catalogue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace vsthost::validate {

Outcome crashOutcome(const Check& check, int strictness, std::string message) {
    if (strictness >= check.crashFailsFrom) return failed(std::move(message));
    if (check.crashFailsFrom > kMaxStrictness) return warned(std::move(message));
    return warned(message + " (a failure from strictness " + std::to_string(check.crashFailsFrom) + ")");
}

namespace {

// The run-time groups with every check of both formats.
const std::vector<CheckGroup>& runTimeGroups() {
    static const std::vector<CheckGroup> groups{identityGroup(),   lifecycleGroup(), gridGroup(),      transportGroup(),
                                                parametersGroup(), realtimeGroup(),  denormalsGroup(), inputGroup(),
                                                stateGroup(),      featuresGroup(),  editorGroup()};
    return groups;
}

// Each run-time group with only the checks for `format`, those left empty left out.
std::vector<CheckGroup> runTimeGroupsFor(Formats format, PluginFormat groupFormat) {
    std::vector<CheckGroup> kept;
    for (const CheckGroup& group : runTimeGroups()) {
        CheckGroup runs{group.name, {}, group.needsDisplay, groupFormat};
        std::copy_if(group.checks.begin(), group.checks.end(), std::back_inserter(runs.checks),
                     [&](const Check& check) { return check.formats == format || check.formats == Formats::both; });
        if (!runs.checks.empty()) kept.push_back(std::move(runs));
    }
    return kept;
}

}  // namespace

const std::vector<CheckGroup>& catalogue() {
    static const std::vector<CheckGroup> groups = runTimeGroupsFor(Formats::vst2, PluginFormat::vst2);
    return groups;
}

const std::vector<CheckGroup>& lv2Catalogue() {
    static const std::vector<CheckGroup> groups = [] {
        std::vector<CheckGroup> lv2{paperGroup()};
        for (CheckGroup& group : runTimeGroupsFor(Formats::lv2, PluginFormat::lv2)) lv2.push_back(std::move(group));
        return lv2;
    }();
    return groups;
}

const std::vector<CheckGroup>& everyGroup() {
    static const std::vector<CheckGroup> groups = [] {
        std::vector<CheckGroup> all{loadGroup()};
        all.insert(all.end(), runTimeGroups().begin(), runTimeGroups().end());
        all.push_back(paperGroup());
        return all;
    }();
    return groups;
}

std::vector<std::string> groupNames() {
    std::vector<std::string> names;
    for (const CheckGroup& group : everyGroup()) names.push_back(group.name);
    return names;
}

}  // namespace vsthost::validate
