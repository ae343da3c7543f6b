// Audio handed to and taken from a plug-in: one buffer per channel and the
// array of channel pointers the record's process entries expect.
#pragma once

#include <cstdint>
#include <vector>

namespace vsthost {

class ChannelBuffers {
public:
    // Silent at first. A plug-in without channels on one side still gets a
    // valid array with one silent buffer behind it, as hosts give; and every
    // buffer has room behind it, so that a plug-in that writes a little too
    // far corrupts nothing of the host's.
    ChannelBuffers(std::int32_t channels, std::int32_t frames);
    // A copy has its own channel array, pointing at its own samples.
    ChannelBuffers(const ChannelBuffers& other);
    ChannelBuffers& operator=(const ChannelBuffers&) = delete;

    float** pointers() { return pointers_.data(); }
    float* channel(std::int32_t c) { return data[static_cast<std::size_t>(c)].data(); }
    const float* channel(std::int32_t c) const { return data[static_cast<std::size_t>(c)].data(); }
    std::int32_t channels() const { return channels_; }
    std::int32_t frames() const { return frames_; }

    void fill(float value);

private:
    std::int32_t channels_;
    std::int32_t frames_;
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers_;
};

}  // namespace vsthost
