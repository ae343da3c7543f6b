// One instance of the built plug-in, opened and driven through its record
// only, with stereo buffers owned by the test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "frame/opcodes.h"
#include "plugin_library.h"
#include "recording_host.h"

struct StereoBuffer {
    explicit StereoBuffer(std::size_t frames = 0) : left(frames), right(frames) {}
    std::vector<float> left, right;
    float* channels[2] = {nullptr, nullptr};
    float** data() {
        channels[0] = left.data();
        channels[1] = right.data();
        return channels;
    }
    std::size_t frames() const { return left.size(); }
};

class PluginInstance {
public:
    PluginInstance(const PluginLibrary& library, RecordingHost& host)
        : effect(library.entry()(RecordingHost::callback)) {
        (void)host;  // the callback reaches the active host
        if (effect == nullptr) throw std::runtime_error("the entry point answered null");
        dispatch(effect, effOpen);
    }
    ~PluginInstance() {
        if (effect != nullptr) dispatch(effect, effClose);
    }
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    void setSampleRate(float rate) { dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate); }
    void setParameter(std::int32_t index, float value) { effect->setParameter(effect, index, value); }
    float getParameter(std::int32_t index) { return effect->getParameter(effect, index); }

    // Processes `input` into a fresh buffer, `frames` at a time.
    StereoBuffer process(StereoBuffer& input) {
        StereoBuffer output(input.frames());
        effect->processReplacing(effect, input.data(), output.data(), static_cast<std::int32_t>(input.frames()));
        return output;
    }

    AEffect* effect;
};

inline StereoBuffer impulse(std::size_t frames, float left, float right) {
    StereoBuffer b(frames);
    if (frames > 0) {
        b.left[0] = left;
        b.right[0] = right;
    }
    return b;
}

// Deterministic noise in [-1, 1), different per seed.
inline StereoBuffer noise(std::size_t frames, std::uint32_t seed) {
    StereoBuffer b(frames);
    std::uint32_t s = seed * 2654435761u + 1u;
    auto next = [&s] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<float>(static_cast<std::int32_t>(s)) / 2147483648.0f;
    };
    for (std::size_t i = 0; i < frames; ++i) {
        b.left[i] = next();
        b.right[i] = next();
    }
    return b;
}

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
