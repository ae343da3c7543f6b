#include "urid_map.h"

namespace vsthost {

UridMap::UridMap()
    : map_{this, [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<UridMap*>(handle)->map(uri); }},
      unmap_{this,
             [](LV2_URID_Unmap_Handle handle, LV2_URID id) { return static_cast<const UridMap*>(handle)->unmap(id); }} {
}

LV2_URID UridMap::map(const char* uri) {
    if (uri == nullptr) return 0;
    const auto [at, added] = ids_.try_emplace(uri, static_cast<LV2_URID>(uris_.size() + 1));
    if (added) uris_.emplace_back(uri);
    return at->second;
}

const char* UridMap::unmap(LV2_URID id) const {
    if (id == 0 || id > uris_.size()) return nullptr;
    return uris_[id - 1].c_str();
}

}  // namespace vsthost
