#include "catalogue.h"

namespace vsthost::validate {

const std::vector<CheckGroup>& catalogue() {
    static const std::vector<CheckGroup> groups{identityGroup(),   lifecycleGroup(), gridGroup(),      transportGroup(),
                                                parametersGroup(), realtimeGroup(),  denormalsGroup(), stateGroup(),
                                                featuresGroup(),   editorGroup()};
    return groups;
}

}  // namespace vsthost::validate
