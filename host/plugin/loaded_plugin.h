// A VST 2.4 plug-in loaded with a host of its own: the library outlives the
// instance. A watcher, such as a CallRecorder, hears of every call into it,
// the entry point's included; the host serves `clock` from the entry point
// on. Both must outlive it.
#pragma once

#include <string>

#include "host_callback.h"
#include "plugin_instance.h"
#include "plugin_module.h"

namespace vsthost {

struct Vst2Library {
    Vst2Library(const std::string& path, const Transport* clock) : module(path) {
        if (clock != nullptr) host.serve(*clock);
    }
    PluginModule module;
    HostCallback host;
};

// The library is a base so that it is there before the instance opens and
// still there after it closes.
class LoadedPlugin : private Vst2Library, public PluginInstance {
public:
    explicit LoadedPlugin(const std::string& path, CallWatcher* watcher = nullptr, const Transport* clock = nullptr)
        : Vst2Library(path, clock), PluginInstance(Vst2Library::module, Vst2Library::host, watcher) {}
};

}  // namespace vsthost
