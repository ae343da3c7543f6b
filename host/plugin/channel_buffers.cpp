#include "channel_buffers.h"

#include <algorithm>

namespace vsthost {

namespace {

// Room behind every buffer; the validator's grid checks report a plug-in
// that writes into it.
constexpr std::int32_t kSlack = 64;

}  // namespace

ChannelBuffers::ChannelBuffers(std::int32_t channels, std::int32_t frames)
    : channels_(channels),
      frames_(frames),
      data(static_cast<std::size_t>(std::max(channels, 1)),
           std::vector<float>(static_cast<std::size_t>(std::max(frames, 1) + kSlack))) {
    for (auto& buffer : data) pointers_.push_back(buffer.data());
}

ChannelBuffers::ChannelBuffers(const ChannelBuffers& other)
    : channels_(other.channels_), frames_(other.frames_), data(other.data) {
    for (auto& buffer : data) pointers_.push_back(buffer.data());
}

void ChannelBuffers::fill(float value) {
    for (auto& buffer : data) std::fill(buffer.begin(), buffer.end(), value);
}

}  // namespace vsthost
