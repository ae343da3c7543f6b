#include "audio_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "library_message.h"
#include "unusable_samples.h"

namespace vsthost {

namespace {

Failure inputFailure(const std::string& path, const std::string& what) {
    return Failure(FailureKind::input, "input '" + path + "' " + what);
}

// A WAV written while streaming leaves its sizes open: all ones, or zero.
constexpr long long kStreamedSize = 0xFFFFFFFFLL;

// Bytes per sample of the sample formats a WAV file stores as they are.
int bytesPerSample(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_U8: return 1;
        case SF_FORMAT_PCM_16: return 2;
        case SF_FORMAT_PCM_24: return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: return 4;
        case SF_FORMAT_DOUBLE: return 8;
        default: return 0;
    }
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Where a WAV file's data chunk starts its samples; -1 when it has none.
long long dataChunkStart(int fd, long long fileSize) {
    for (long long at = 12; at + 8 <= fileSize;) {
        std::array<unsigned char, 8> head{};
        if (::pread(fd, head.data(), head.size(), at) != static_cast<ssize_t>(head.size())) return -1;
        if (std::memcmp(head.data(), "data", 4) == 0) return at + 8;
        const long long size = littleEndian32(head.data() + 4);
        at += 8 + size + (size & 1);
    }
    return -1;
}

}  // namespace

// The samples of a WAV file from where its data chunk begins to the end of
// the file, as a file of their own for libsndfile (which cannot open a raw
// file at an offset for reading).
struct AudioFileReader::FileTail {
    int fd = -1;
    sf_count_t start = 0;
    sf_count_t length = 0;
    sf_count_t at = 0;

    ~FileTail() {
        if (fd >= 0) ::close(fd);
    }

    static sf_count_t getLength(void* self) { return static_cast<FileTail*>(self)->length; }
    static sf_count_t seek(sf_count_t offset, int whence, void* self) {
        auto& t = *static_cast<FileTail*>(self);
        const sf_count_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? t.at : t.length;
        t.at = std::clamp<sf_count_t>(from + offset, 0, t.length);
        return t.at;
    }
    static sf_count_t read(void* into, sf_count_t count, void* self) {
        auto& t = *static_cast<FileTail*>(self);
        const ssize_t got =
            ::pread(t.fd, into, static_cast<std::size_t>(std::min(count, t.length - t.at)), t.start + t.at);
        if (got <= 0) return 0;
        t.at += got;
        return got;
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* self) { return static_cast<FileTail*>(self)->at; }
};

AudioFileReader::AudioFileReader(std::string path) : path_(std::move(path)) {
    const bool standardInput = path_ == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw inputFailure(path_, std::string("cannot be read: ") + std::strerror(errno));
    struct stat st {};
    if (!standardInput && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        throw inputFailure(path_, "is not a regular file");
    }
    file = sf_open_fd(fd, SFM_READ, &info, standardInput ? SF_FALSE : SF_TRUE);
    if (file == nullptr) {
        const std::string why = libraryMessage(sf_strerror(nullptr));
        if (standardInput)
            throw inputFailure(path_, "(standard input) is not audio libsndfile can read from a pipe (" + why +
                                          "); wav, aiff, au and ogg stream, flac and mp3 need a file");
        throw inputFailure(path_, "is not an audio file libsndfile can read (" + why + ")");
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        throw inputFailure(path_, "has no channels or no sample rate");
    }
    frames_ = info.frames == SF_COUNT_MAX || info.frames < 0 ? -1 : info.frames;
    promised_ = frames_;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    checksSamples_ = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    findPromisedLength();
    if (!standardInput) readPastEmptyDataChunk();
}

// libsndfile reads a WAV or AIFF file cut short up to where it ends, and
// says so only in its log: "data : 2640000 (should be 99870)", for AIFF
// indented: " SSND : 604808 (should be 302372)". The header's figure gives
// the length the file was meant to have.
void AudioFileReader::findPromisedLength() {
    if (frames_ <= 0) return;
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* line = log; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::string full(line, end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line));
        line = end != nullptr ? end + 1 : line + full.size();
        const std::string text = full.substr(std::min(full.find_first_not_of(' '), full.size()));
        const bool sound = text.rfind("SSND", 0) == 0;
        if (text.rfind("data", 0) != 0 && !sound) continue;
        // AIFF's sound chunk counts 8 bytes of offset and block size before the samples.
        const long long before = sound ? 8 : 0;
        long long claimed = 0;
        long long held = 0;
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos ||
            std::sscanf(text.c_str() + colon + 1, " %lld (should be %lld)", &claimed, &held) != 2 || held <= before ||
            claimed <= held || claimed >= kStreamedSize)
            continue;
        promised_ = static_cast<std::int64_t>(static_cast<double>(frames_) * static_cast<double>(claimed - before) /
                                              static_cast<double>(held - before));
        return;
    }
}

// A WAV whose data chunk claims no samples (a header written while
// streaming) yet has samples after it: libsndfile reads none, so the file is
// read again as raw samples from where its data chunk begins.
void AudioFileReader::readPastEmptyDataChunk() {
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const int width = bytesPerSample(subtype);
    if (frames_ != 0 || (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || width == 0) return;
    auto tail = std::make_unique<FileTail>();
    tail->fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (tail->fd < 0 || ::fstat(tail->fd, &st) != 0) return;
    tail->start = dataChunkStart(tail->fd, st.st_size);
    tail->length = st.st_size - tail->start;
    const long long frameBytes = static_cast<long long>(width) * info.channels;
    if (tail->start < 0 || tail->length < frameBytes) return;
    SF_INFO raw{};
    raw.format = SF_FORMAT_RAW | subtype | SF_ENDIAN_LITTLE;
    raw.channels = info.channels;
    raw.samplerate = info.samplerate;
    static SF_VIRTUAL_IO io{FileTail::getLength, FileTail::seek, FileTail::read, FileTail::write, FileTail::tell};
    SNDFILE* rawFile = sf_open_virtual(&io, SFM_READ, &raw, tail.get());
    if (rawFile == nullptr) return;
    sf_close(file);
    file = rawFile;
    tail_ = std::move(tail);
    frames_ = raw.frames;
    promised_ = frames_;
    headerNote_ = "says its audio is 0 bytes long (a header written while streaming); the " + seconds(frames_) +
                  " after its header were read as its audio";
}

std::vector<std::pair<int, std::string>> AudioFileReader::tags() const {
    std::vector<std::pair<int, std::string>> found;
    for (int tag = SF_STR_FIRST; tag <= SF_STR_LAST; ++tag)
        if (const char* text = sf_get_string(file, tag); text != nullptr && text[0] != '\0')
            found.emplace_back(tag, text);
    return found;
}

AudioFileReader::~AudioFileReader() { sf_close(file); }  // before tail_, which it reads

std::string AudioFileReader::seconds(std::int64_t frames) const {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(frames) / info.samplerate);
    return withoutTrailingZeros(text) + " s";
}

std::int64_t AudioFileReader::read(float* interleaved, std::int64_t frames) {
    if (ended_) return 0;
    const sf_count_t got = sf_readf_float(file, interleaved, frames);
    if (got < frames) {
        ended_ = true;
        // What decoded before the damage is kept; damage() says where it stopped.
        if (sf_error(file) != SF_ERR_NO_ERROR) readError_ = libraryMessage(sf_strerror(file));
    }
    if (checksSamples_) refuseUnusable(interleaved, got);
    read_ += got;
    return got;
}

// Counts the unusable samples of the whole file from the first block that
// holds one, so that the message gives them all.
void AudioFileReader::refuseUnusable(const float* interleaved, std::int64_t frames) {
    const std::int64_t count = frames * info.channels;
    std::int64_t i = 0;
    while (i < count && UnusableSamples::usable(interleaved[i])) ++i;
    if (i == count) return;
    UnusableSamples found;
    std::int64_t samples = read_ * info.channels;
    std::vector<float> block(interleaved, interleaved + count);
    for (std::int64_t got = frames, at = read_; got > 0;) {
        for (std::int64_t k = 0; k < got * info.channels; ++k)
            if (!UnusableSamples::usable(block[static_cast<std::size_t>(k)]))
                found.add(block[static_cast<std::size_t>(k)], at + k / info.channels);
        samples += got * info.channels;
        at += got;
        block.resize(static_cast<std::size_t>(4096 * info.channels));
        got = sf_readf_float(file, block.data(), 4096);
    }
    throw inputFailure(path_, "is unusable: " + unusableText(found, samples, info.samplerate));
}

std::string AudioFileReader::damage() const {
    const std::string name = "input '" + path_ + "' ";
    if (!headerNote_.empty()) return name + headerNote_;
    if (!readError_.empty())
        return name + "could not be read past " + seconds(read_) +
               (promised_ > read_ ? " of the " + seconds(promised_) + " its header promises" : std::string()) + " (" +
               readError_ + ")";
    // mp3's length in its header is an estimate unless an encoder wrote the exact figure.
    const bool estimated = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    const std::int64_t slack = estimated ? std::max<std::int64_t>(promised_ / 100, 2 * 1152) : 0;
    const std::int64_t held = ended_ && read_ < frames_ ? read_ : frames_;
    if (promised_ > 0 && held >= 0 && held + slack < promised_)
        return name + "is cut short: its header promises " + seconds(promised_) + ", the file holds " + seconds(held);
    if (ended_ && frames_ < 0 && path_ != "-" && (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
        return name + "has no end mark, so it may be cut short (it holds " + seconds(read_) + ")";
    return {};
}

}  // namespace vsthost
