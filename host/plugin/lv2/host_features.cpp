#include "host_features.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace vsthost {

namespace {

// Features that carry no data: promises about how the host runs the
// plug-in. Offline it runs blocks within the bounds it gave, one after the
// other, never in place (outputs have buffers of their own), and loads the
// plug-in's default state after making it. isLive and hardRTCapable are
// properties some plug-ins list among the features they require; running
// blocks in order as they come is all they ask of a host.
constexpr std::array<const char*, 5> kPromises{
    LV2_BUF_SIZE__boundedBlockLength, LV2_STATE__loadDefaultState, LV2_CORE__inPlaceBroken, LV2_CORE__isLive,
    LV2_CORE__hardRTCapable,
};

}  // namespace

HostFeatures::HostFeatures(UridMap& map, WorkQueue& work)
    : map_(map), error_(map.map(LV2_LOG__Error)), warning_(map.map(LV2_LOG__Warning)) {
    features_ = {
        {LV2_URID__map, map.mapFeature()},       {LV2_URID__unmap, map.unmapFeature()},
        {LV2_OPTIONS__options, options_.data()}, {LV2_LOG__log, &log_},
        {LV2_WORKER__schedule, work.feature()},
    };
    for (const char* promise : kPromises) features_.push_back({promise, nullptr});
    for (const LV2_Feature& f : features_) list_.push_back(&f);
    list_.push_back(nullptr);
    setBlocks(sampleRate_, maxBlock_, sequenceSize_);
}

bool HostFeatures::provides(const std::string& uri) {
    static const std::array<const char*, 5> kGiven{LV2_URID__map, LV2_URID__unmap, LV2_OPTIONS__options, LV2_LOG__log,
                                                   LV2_WORKER__schedule};
    const auto is = [&uri](const char* u) { return uri == u; };
    return std::any_of(kGiven.begin(), kGiven.end(), is) || std::any_of(kPromises.begin(), kPromises.end(), is);
}

void HostFeatures::setBlocks(double sampleRate, std::int32_t maxBlock, std::int32_t sequenceSize) {
    sampleRate_ = static_cast<float>(sampleRate);
    maxBlock_ = std::max(maxBlock, 1);
    sequenceSize_ = sequenceSize;
    const LV2_URID intType = map_.map(LV2_ATOM__Int);
    auto option = [this](const char* key, LV2_URID type, const void* value, std::uint32_t size) {
        return LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, map_.map(key), size, type, value};
    };
    options_ = {
        option(LV2_PARAMETERS__sampleRate, map_.map(LV2_ATOM__Float), &sampleRate_, sizeof sampleRate_),
        option(LV2_BUF_SIZE__minBlockLength, intType, &minBlock_, sizeof minBlock_),
        option(LV2_BUF_SIZE__maxBlockLength, intType, &maxBlock_, sizeof maxBlock_),
        option(LV2_BUF_SIZE__nominalBlockLength, intType, &maxBlock_, sizeof maxBlock_),
        option(LV2_BUF_SIZE__sequenceSize, intType, &sequenceSize_, sizeof sequenceSize_),
        LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
}

int HostFeatures::logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = logVprintf(handle, type, format, args);
    va_end(args);
    return n;
}

int HostFeatures::logVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args) {
    // Errors and warnings a user may act on; notes and traces are the
    // plug-in's own business.
    const auto* self = static_cast<const HostFeatures*>(handle);
    if (format == nullptr || (type != self->error_ && type != self->warning_)) return 0;
    std::fputs(type == self->error_ ? "plug-in error: " : "plug-in warning: ", stderr);
    return std::vfprintf(stderr, format, args);
}

}  // namespace vsthost
