#include "catalogue.h"

#include <utility>

namespace vsthost::validate {

Outcome crashOutcome(const Check& check, int strictness, std::string message) {
    if (strictness >= check.crashFailsFrom) return failed(std::move(message));
    return warned(message + " (a failure from strictness " + std::to_string(check.crashFailsFrom) + ")");
}

const std::vector<CheckGroup>& catalogue() {
    static const std::vector<CheckGroup> groups{identityGroup(),   lifecycleGroup(), gridGroup(),      transportGroup(),
                                                parametersGroup(), realtimeGroup(),  denormalsGroup(), stateGroup(),
                                                featuresGroup(),   editorGroup()};
    return groups;
}

const std::vector<CheckGroup>& lv2Catalogue() {
    static const std::vector<CheckGroup> groups{paperGroup()};
    return groups;
}

std::vector<std::string> groupNames() {
    std::vector<std::string> names{loadGroup().name};
    for (const CheckGroup& group : catalogue()) names.push_back(group.name);
    for (const CheckGroup& group : lv2Catalogue()) names.push_back(group.name);
    return names;
}

}  // namespace vsthost::validate
