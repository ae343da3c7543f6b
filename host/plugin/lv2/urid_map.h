// The host's URID map and unmap: one number per URI for the life of the
// instance, 0 never given out.
#pragma once

#include <lv2/urid/urid.h>

#include <deque>
#include <string>
#include <unordered_map>

namespace vsthost {

class UridMap {
public:
    UridMap();
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    LV2_URID map(const char* uri);
    // Null for a number never given out.
    const char* unmap(LV2_URID id) const;

    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    std::unordered_map<std::string, LV2_URID> ids_;
    std::deque<std::string> uris_;  // by id - 1; a deque keeps unmapped texts where they are
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
};

}  // namespace vsthost
