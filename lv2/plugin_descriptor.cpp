#include "plugin_descriptor.h"

#include <lv2/core/lv2_util.h>
#include <lv2/urid/urid.h>

#include <limits>
#include <new>

#include "wobble_plugin.h"

namespace {

WobblePlugin& plugin(LV2_Handle instance) { return *static_cast<WobblePlugin*>(instance); }

// A rate that is no positive single float makes no instance: the host is told at once.
LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features) {
    if (!(sampleRate > 0.0 && sampleRate <= std::numeric_limits<float>::max())) return nullptr;
    const auto* map = static_cast<const LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    return new (std::nothrow) WobblePlugin(static_cast<float>(sampleRate), map);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) { plugin(instance).connect(port, data); }

void activate(LV2_Handle instance) { plugin(instance).activate(); }

void run(LV2_Handle instance, uint32_t frames) { plugin(instance).run(frames); }

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle instance) { delete &plugin(instance); }

const void* extensionData(const char*) { return nullptr; }

constexpr LV2_Descriptor kDescriptor{kPluginUri, instantiate, connectPort, activate,
                                     run,        deactivate,  cleanup,     extensionData};

}  // namespace

const LV2_Descriptor& wobbleDescriptor() { return kDescriptor; }
