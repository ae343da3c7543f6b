// What this host gives an LV2 plug-in when it makes an instance: the URID
// map and unmap, the options (sample rate, nominal, smallest and largest
// block, atom buffer size) that bound the block length, a log, the worker's
// schedule, and its word that it loads a default state. A plug-in that
// requires anything else is refused before it is made.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>

#include <array>
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "urid_map.h"
#include "work_queue.h"

namespace vsthost {

class HostFeatures {
public:
    HostFeatures(UridMap& map, WorkQueue& work);
    HostFeatures(const HostFeatures&) = delete;
    HostFeatures& operator=(const HostFeatures&) = delete;

    // Whether the host gives the feature with this URI.
    static bool provides(const std::string& uri);

    // The options an instance made now is given; the instance may keep
    // reading them, so they change only between instances.
    void setBlocks(double sampleRate, std::int32_t maxBlock, std::int32_t sequenceSize);

    // Null-terminated, as instantiate() takes it.
    const LV2_Feature* const* list() const { return list_.data(); }

private:
    static int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...);
    static int logVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args);

    UridMap& map_;
    float sampleRate_ = 44100.0f;
    std::int32_t minBlock_ = 1;
    std::int32_t maxBlock_ = 4096;
    std::int32_t sequenceSize_ = 8192;
    std::array<LV2_Options_Option, 6> options_{};
    LV2_Log_Log log_{this, &HostFeatures::logPrintf, &HostFeatures::logVprintf};
    LV2_URID error_;
    LV2_URID warning_;
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> list_;
};

}  // namespace vsthost
