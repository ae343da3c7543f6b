#include "audio_files.h"

#include <cmath>
#include <stdexcept>

std::vector<float> AudioData::channel(int c) const {
    std::vector<float> out;
    for (std::size_t i = static_cast<std::size_t>(c); i < samples.size(); i += static_cast<std::size_t>(info.channels))
        out.push_back(samples[i]);
    return out;
}

void writeAudio(const std::string& path, int format, int channels, int sampleRate,
                const std::vector<float>& interleaved, const std::string& title, const std::string& artist) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write test file " + path + ": " + sf_strerror(nullptr));
    if (!title.empty()) sf_set_string(file, SF_STR_TITLE, title.c_str());
    if (!artist.empty()) sf_set_string(file, SF_STR_ARTIST, artist.c_str());
    const auto frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
    if (sf_writef_float(file, interleaved.data(), frames) != frames) throw std::runtime_error("short write " + path);
    sf_close(file);
}

AudioData readAudio(const std::string& path) {
    AudioData data;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &data.info);
    if (file == nullptr) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    if (const char* title = sf_get_string(file, SF_STR_TITLE)) data.title = title;
    if (const char* artist = sf_get_string(file, SF_STR_ARTIST)) data.artist = artist;
    data.samples.resize(static_cast<std::size_t>(data.info.frames * data.info.channels));
    const sf_count_t got = sf_readf_float(file, data.samples.data(), data.info.frames);
    sf_close(file);
    data.samples.resize(static_cast<std::size_t>(got * data.info.channels));
    return data;
}

std::vector<float> testSignal(std::int64_t frames, int channels, std::uint32_t seed) {
    std::vector<float> out(static_cast<std::size_t>(frames * channels));
    std::uint32_t s = seed * 2654435761u + 7u;
    for (std::int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            const float noise = static_cast<float>(static_cast<std::int32_t>(s)) / 4294967296.0f;
            const float tone = 0.25f * std::sin(0.031f * static_cast<float>(i) * static_cast<float>(c + 1));
            out[static_cast<std::size_t>(i * channels + c)] = noise + tone;
        }
    }
    return out;
}
