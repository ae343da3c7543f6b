#include "plugin_loader.h"

#include "host/plugin/lv2/lv2_plugin.h"
#include "loaded_plugin.h"

namespace vsthost {

// A folder is an LV2 bundle and a URI an installed LV2 plug-in; anything else
// is a VST 2.4 library, which says itself what is wrong with a path that is
// not one.
std::unique_ptr<Plugin> openPlugin(const std::string& name, CallWatcher* watcher, const Transport& clock) {
    if (Lv2World::names(name)) return std::make_unique<Lv2Plugin>(name, watcher, clock);
    return std::make_unique<LoadedPlugin>(name, watcher, &clock);
}

}  // namespace vsthost
