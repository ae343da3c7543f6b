// A plug-in loaded with a host of its own: the module outlives the instance.
// A watcher, such as a CallRecorder, hears of every call into it, the entry
// point's included; the host serves `clock` from the entry point on. Both
// must outlive it.
#pragma once

#include <string>

#include "host_callback.h"
#include "plugin_instance.h"
#include "plugin_module.h"

namespace vsthost {

struct LoadedPlugin {
    explicit LoadedPlugin(const std::string& path, CallWatcher* watcher = nullptr, const Transport* clock = nullptr)
        : module(path), instance(module, serving(host, clock), watcher) {}
    PluginModule module;
    HostCallback host;
    PluginInstance instance;

private:
    static HostCallback& serving(HostCallback& host, const Transport* clock) {
        if (clock != nullptr) host.serve(*clock);
        return host;
    }
};

}  // namespace vsthost
