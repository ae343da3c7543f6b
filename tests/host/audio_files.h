// Writing test inputs and reading rendered outputs through libsndfile.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

struct AudioData {
    SF_INFO info{};
    std::vector<float> samples;  // interleaved
    std::string title;           // tags, empty when there are none
    std::string artist;
    std::vector<float> channel(int c) const;
};

void writeAudio(const std::string& path, int format, int channels, int sampleRate,
                const std::vector<float>& interleaved, const std::string& title = "", const std::string& artist = "");
AudioData readAudio(const std::string& path);

// Deterministic noise with a tone in it, `channels` interleaved, within +-0.5.
std::vector<float> testSignal(std::int64_t frames, int channels, std::uint32_t seed = 1);
