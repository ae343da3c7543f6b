// Opening the plug-in that --plugin names, in whichever format it is.
#pragma once

#include <memory>
#include <string>

#include "call_watcher.h"
#include "plugin.h"

namespace vsthost {

class Transport;

// Opens the plug-in at `name`, served the song at `clock`; the watcher hears
// of every call into it. Both must outlive it. Throws Failure (plugin)
// saying why it cannot be opened.
std::unique_ptr<Plugin> openPlugin(const std::string& name, CallWatcher* watcher, const Transport& clock);

}  // namespace vsthost
