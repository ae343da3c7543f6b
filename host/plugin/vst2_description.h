// What opening one library as a VST 2.4 plug-in, in this process, tells of
// it: its name and channels, or why it cannot be opened. This runs the
// plug-in's own code (its entry point and its open request), so a caller
// that must outlive a plug-in that crashes, hangs or exits runs it in a
// process of its own.
#pragma once

#include <optional>
#include <string>

#include "installed_plugin.h"

namespace vsthost {

// Nothing for a file that is no VST 2.4 plug-in: not a shared library, or
// one that exports neither VSTPluginMain nor main. A shared library the
// system cannot load is described with the loader's reason, since nothing
// then tells whether it is a plug-in.
std::optional<InstalledPlugin> describeVst2Library(const std::string& path);

}  // namespace vsthost
