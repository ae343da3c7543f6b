#include "audio_format.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "host/text/file_path.h"

namespace vsthost {

namespace {

struct Container {
    std::string_view extension;
    int format;
};

constexpr std::array kContainers{
    Container{"wav", SF_FORMAT_WAV},
    Container{"wave", SF_FORMAT_WAV},
    Container{"flac", SF_FORMAT_FLAC},
    Container{"aiff", SF_FORMAT_AIFF},
    Container{"aif", SF_FORMAT_AIFF},
    Container{"aifc", SF_FORMAT_AIFF},
    Container{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    Container{"oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    Container{"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
    Container{"w64", SF_FORMAT_W64},
    Container{"rf64", SF_FORMAT_RF64},
    Container{"caf", SF_FORMAT_CAF},
    Container{"au", SF_FORMAT_AU},
    Container{"snd", SF_FORMAT_AU},
    Container{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

// Sample formats a file keeps as they are; anything else (a lossy codec's
// "subtype") is decoded audio that needs a plain format of its own.
constexpr std::array kPlainSampleFormats{
    SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24,
    SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,  SF_FORMAT_DOUBLE,
};

bool plain(int subtype) {
    return std::find(kPlainSampleFormats.begin(), kPlainSampleFormats.end(), subtype) != kPlainSampleFormats.end();
}

// The rates codecs with a fixed set take; every other format takes any rate.
constexpr std::array<int, 5> kOpusRates{8000, 12000, 16000, 24000, 48000};
constexpr std::array<int, 9> kMpegRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kHighestVorbisRate = 192000;

std::string lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool valid(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

}  // namespace

std::optional<int> containerFor(std::string_view fileName) {
    const std::string base = fileNameOf(std::string(fileName));
    const std::size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::nullopt;
    const std::string extension = lowercase(base.substr(dot + 1));
    for (const Container& c : kContainers)
        if (c.extension == extension) return c.format;
    return std::nullopt;
}

std::string knownExtensions() {
    std::string list;
    for (const Container& c : kContainers) {
        if (!list.empty()) list += ", ";
        list += '.';
        list += c.extension;
    }
    return list;
}

int outputFormat(int container, int sampleFormat, int channels, int sampleRate) {
    // Containers with a codec of their own take no choice.
    if ((container & SF_FORMAT_SUBMASK) != 0) return valid(container, channels, sampleRate) ? container : 0;
    const int kept = plain(sampleFormat & SF_FORMAT_SUBMASK) ? sampleFormat & SF_FORMAT_SUBMASK : 0;
    for (int subtype : {kept, static_cast<int>(SF_FORMAT_FLOAT), static_cast<int>(SF_FORMAT_PCM_24),
                        static_cast<int>(SF_FORMAT_PCM_16)}) {
        if (subtype == 0) continue;
        const int format = container | (subtype & SF_FORMAT_SUBMASK);
        if (valid(format, channels, sampleRate)) return format;
    }
    return 0;
}

std::optional<std::vector<int>> sampleFormatsNamed(std::string_view name) {
    const std::string n = lowercase(name);
    if (n == "8") return std::vector<int>{SF_FORMAT_PCM_U8, SF_FORMAT_PCM_S8};
    if (n == "16") return std::vector<int>{SF_FORMAT_PCM_16};
    if (n == "24") return std::vector<int>{SF_FORMAT_PCM_24};
    if (n == "32") return std::vector<int>{SF_FORMAT_PCM_32};
    if (n == "float") return std::vector<int>{SF_FORMAT_FLOAT};
    if (n == "double") return std::vector<int>{SF_FORMAT_DOUBLE};
    return std::nullopt;
}

int outputFormatWith(int container, const std::vector<int>& sampleFormats, int channels, int sampleRate) {
    if ((container & SF_FORMAT_SUBMASK) != 0) return 0;
    for (int subtype : sampleFormats)
        if (valid(container | subtype, channels, sampleRate)) return container | subtype;
    return 0;
}

int fileRateFor(int format, int sampleRate) {
    auto nearestOf = [sampleRate](const auto& rates) {
        for (int rate : rates)
            if (rate >= sampleRate) return rate;
        return rates.back();
    };
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_OPUS: return nearestOf(kOpusRates);
        case SF_FORMAT_MPEG_LAYER_III: return nearestOf(kMpegRates);
        case SF_FORMAT_VORBIS: return std::min(sampleRate, kHighestVorbisRate);
        default: return sampleRate;
    }
}

bool streams(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_AU || major == SF_FORMAT_OGG;
}

std::string streamingExtensions() { return ".au, .ogg, .opus"; }

bool holdsPastFullScale(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

std::string sampleFormatsHeld(int container, int channels, int sampleRate) {
    std::vector<std::string> held;
    for (const char* name : {"8", "16", "24", "32", "float", "double"})
        if (outputFormatWith(container, *sampleFormatsNamed(name), channels, sampleRate) != 0) held.emplace_back(name);
    std::string text;
    for (std::size_t i = 0; i < held.size(); ++i)
        text += (i == 0 ? "" : i + 1 == held.size() ? " or " : ", ") + held[i];
    return text;
}

bool takesQuality(int format) {
    const int codec = format & SF_FORMAT_SUBMASK;
    return codec == SF_FORMAT_MPEG_LAYER_III || codec == SF_FORMAT_VORBIS || codec == SF_FORMAT_OPUS;
}

double defaultQuality(int format) {
    // Each about 200 kbit/s or more for music, the level producers share at:
    // mp3 then keeps up to about 19.5 kHz (lower settings cut from 17 kHz).
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_MPEG_LAYER_III: return 0.9;
        case SF_FORMAT_VORBIS: return 0.6;
        default: return 0.4;  // Opus
    }
}

std::string formatName(int format) {
    // The extension users know: libsndfile calls mp3 "m1a" and Ogg Vorbis "oga".
    for (const Container& c : kContainers)
        if (c.format == (format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK))) return std::string(c.extension);
    for (const Container& c : kContainers)
        if (c.format == (format & SF_FORMAT_TYPEMASK)) return std::string(c.extension);
    SF_FORMAT_INFO major{};
    major.format = format & SF_FORMAT_TYPEMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major);
    return major.extension != nullptr ? lowercase(major.extension) : "audio";
}

std::string describeFormat(int format) {
    SF_FORMAT_INFO sub{};
    sub.format = format & SF_FORMAT_SUBMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub);
    std::string text = formatName(format);
    if (sub.name != nullptr) text += std::string(", ") + sub.name;
    return text;
}

}  // namespace vsthost
