// Speaker layouts exchanged for multi-channel configurations.
#pragma once

#include <cstddef>
#include <cstdint>

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    std::int32_t type;
    char future[28];
};

static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);
static_assert(sizeof(VstSpeakerProperties) == 112);

// Variable length: numChannels speakers follow the header. The array is
// declared with the customary length of 8; records are allocated with the
// size of the channels they really hold.
struct VstSpeakerArrangement {
    std::int32_t type;
    std::int32_t numChannels;
    VstSpeakerProperties speakers[8];
};

static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);

constexpr std::size_t speakerArrangementHeaderSize = offsetof(VstSpeakerArrangement, speakers);
