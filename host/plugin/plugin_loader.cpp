#include "plugin_loader.h"

#include "loaded_plugin.h"

namespace vsthost {

std::unique_ptr<Plugin> openPlugin(const std::string& name, CallWatcher* watcher, const Transport& clock) {
    return std::make_unique<LoadedPlugin>(name, watcher, &clock);
}

}  // namespace vsthost
