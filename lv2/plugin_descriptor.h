// The plug-in's descriptor: its URI and the functions a host calls.
#pragma once

#include <lv2/core/lv2.h>

inline constexpr const char* kPluginUri = "urn:sorpenwalde:dravelkint";

const LV2_Descriptor& wobbleDescriptor();
