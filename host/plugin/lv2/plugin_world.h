// The LV2 plug-ins lilv knows of, and finding the one --plugin names: a
// bundle folder holding one plug-in, or a URI among those installed in
// LV2_PATH or, without it, the standard folders.
#pragma once

#include <lilv/lilv.h>

#include <string>

#include "lilv_node.h"

namespace vsthost {

class Lv2World {
public:
    // Whether `name` names an LV2 plug-in rather than a library: an existing
    // folder, or no existing path but a URI ("urn:...", "http://...").
    static bool names(const std::string& name);

    // Loads what `name` needs and finds its plug-in. Throws Failure (plugin)
    // listing the URIs of a bundle with several, or the nearest installed
    // URIs for one that is not there.
    explicit Lv2World(const std::string& name);
    ~Lv2World();
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin() const { return plugin_; }
    LilvNodeOwner uri(const char* text) const { return LilvNodeOwner(lilv_new_uri(world_, text)); }

private:
    const LilvPlugin* inBundle(const std::string& folder);
    const LilvPlugin* installed(const std::string& uri);

    LilvWorld* world_;
    const LilvPlugin* plugin_ = nullptr;
};

}  // namespace vsthost
