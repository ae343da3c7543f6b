// Choosing a file format for an output file: the container from the file
// name's extension, the sample format kept from the input where the container
// can hold it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vsthost {

// The libsndfile container (major format, with its codec where the container
// fixes one) for a file name, or nothing for an unknown extension.
std::optional<int> containerFor(std::string_view fileName);

// The extensions containerFor() knows, for messages.
std::string knownExtensions();

// A complete libsndfile format for the container that keeps `sampleFormat`
// (a libsndfile subtype) if the container allows it, else the closest one
// it does; 0 when the container cannot hold such audio at all. Decoded
// input (mp3, Vorbis, Opus) is not kept: its output gets float, or 24 bit.
int outputFormat(int container, int sampleFormat, int channels, int sampleRate);

// The subtypes a --sample-format name stands for ("16", "24", "32",
// "float", "double", "8"), in the order to try them; nothing for another name.
std::optional<std::vector<int>> sampleFormatsNamed(std::string_view name);
// The container with the first of `sampleFormats` it can hold; 0 for none,
// and for containers with a codec of their own.
int outputFormatWith(int container, const std::vector<int>& sampleFormats, int channels, int sampleRate);

// The rate a file of this format is written at for audio at `sampleRate`:
// the same, or for codecs that hold only some rates the nearest one above
// (Opus at 44.1 kHz: 48 kHz), the output then being resampled.
int fileRateFor(int format, int sampleRate);

// Whether the format can be written to a pipe (standard output), and the
// extensions of those that can, for messages.
bool streams(int format);
std::string streamingExtensions();

// Float formats keep samples past full scale; every other one clips them.
bool holdsPastFullScale(int format);

// The --sample-format names the container holds, for messages: "8, 16 or 24".
std::string sampleFormatsHeld(int container, int channels, int sampleRate);

// Whether the format's codec takes --quality (mp3, Vorbis, Opus).
bool takesQuality(int format);
// Its --quality when none is given.
double defaultQuality(int format);

// The format as users know it, by its usual extension: "wav", "mp3", "ogg", "opus".
std::string formatName(int format);
// That and libsndfile's name of the sample format: "wav, 32 bit float",
// "flac, Signed 24 bit PCM".
std::string describeFormat(int format);

}  // namespace vsthost
