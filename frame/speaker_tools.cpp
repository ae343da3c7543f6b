// Speaker-arrangement records that an effect allocates into locations its
// caller owns.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "audio_effect_x.h"
#include "text_copy.h"

namespace {

constexpr std::int64_t kSpeakerSize = sizeof(VstSpeakerProperties);
constexpr std::int32_t kMaxChannels =
    static_cast<std::int32_t>((std::numeric_limits<std::int32_t>::max() - speakerArrangementHeaderSize) / kSpeakerSize);

void release(VstSpeakerArrangement** arrangement) {
    std::free(*arrangement);
    *arrangement = nullptr;
}

}  // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, std::int32_t channels) {
    release(arrangement);
    // The record's size must fit a signed 32-bit count; anything else is refused
    // with the location left null, never holding a released record.
    if (channels < 0 || channels > kMaxChannels) return false;
    const std::size_t size = speakerArrangementHeaderSize + static_cast<std::size_t>(channels) * kSpeakerSize;
    void* const storage = std::calloc(1, size);
    if (storage == nullptr) return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(storage);
    (*arrangement)->numChannels = channels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    release(arrangement);
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (to == nullptr || from == nullptr) return false;
    copyBounded(to->name, from->name, sizeof to->name - 1);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (from == nullptr || from->numChannels < 0) return false;
    if (!deallocateArrangement(to)) return false;
    if (!allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    // The records hold as many speakers as they say, whatever the declared array length.
    VstSpeakerProperties* const target = (*to)->speakers;
    VstSpeakerProperties* const source = from->speakers;
    for (std::int32_t i = 0; i < (*to)->numChannels; ++i) {
        if (!copySpeaker(target + i, source + i)) return false;
    }
    return true;
}
