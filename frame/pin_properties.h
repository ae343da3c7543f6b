// What a plug-in says of one of its inputs or outputs when asked with
// effGetInputProperties or effGetOutputProperties: a name, whether the pin
// is in use and pairs with the next one, and its speaker arrangement.
#pragma once

#include <cstddef>
#include <cstdint>

struct VstPinProperties {
    char label[64];
    std::int32_t flags;
    std::int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

static_assert(offsetof(VstPinProperties, label) == 0);
static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);
static_assert(offsetof(VstPinProperties, future) == 80);
static_assert(sizeof(VstPinProperties) == 128);

// Flags of VstPinProperties::flags.
enum : std::int32_t {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};
