#include "plugin.h"

#include "host/text/failure.h"

namespace vsthost {

void Plugin::loadPreset(const std::string& name) {
    throw Failure(FailureKind::usage, "preset '" + name + "' not found: the plug-in offers no presets");
}

}  // namespace vsthost
