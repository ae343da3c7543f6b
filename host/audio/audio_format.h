// Choosing a file format for an output file: the container from the file
// name's extension, the sample format kept from the input where the container
// can hold it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vsthost {

// The libsndfile container (major format, with its codec where the container
// fixes one) for a file name, or nothing for an unknown extension.
std::optional<int> containerFor(std::string_view fileName);

// The extensions containerFor() knows, for messages.
std::string knownExtensions();

// A complete libsndfile format for the container that keeps `sampleFormat`
// (a libsndfile subtype) if the container allows it, else the closest one
// it does; 0 when the container cannot hold such audio at all.
int outputFormat(int container, int sampleFormat, int channels, int sampleRate);

// The extension and libsndfile's name of the sample format: "wav, 32 bit float",
// "flac, Signed 24 bit PCM".
std::string describeFormat(int format);

}  // namespace vsthost
