// Mutated audio files through the command-line host's reader: it either
// refuses a file with a clear error naming it, or reads it to its end with
// consistent counts. Anything else (a crash, a sanitizer report, an
// exception of another kind) is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/audio/audio_file_reader.h"
#include "host/text/failure.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The input as a file in memory, under a path the reader can open.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : fd(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        require(fd >= 0, "memfd_create failed");
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd, data + done, size - done);
            require(n > 0, "write to the memory file failed");
            done += static_cast<std::size_t>(n);
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    ~MemoryFile() { ::close(fd); }
    int fd;
    std::string path;
};

constexpr std::int64_t kBlock = 256;
constexpr std::int64_t kMaxFrames = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFile input(data, size);
    try {
        vsthost::AudioFileReader reader(input.path);
        require(reader.channels() >= 1 && reader.sampleRate() >= 1.0, "opened a file without channels or rate");
        std::vector<float> block(static_cast<std::size_t>(kBlock * reader.channels()));
        std::int64_t total = 0;
        while (total < kMaxFrames) {
            const std::int64_t got = reader.read(block.data(), kBlock);
            require(got >= 0 && got <= kBlock, "read answered more frames than asked");
            if (got == 0) break;
            total += got;
        }
        if (reader.frames() >= 0 && total < kMaxFrames) require(total <= reader.frames(), "read past the length");
    } catch (const vsthost::Failure& failure) {
        require(failure.kind() == vsthost::FailureKind::input, "a bad file reported as another kind of failure");
        require(std::string(failure.what()).find(input.path) != std::string::npos, "the error does not name the file");
    }
    return 0;
}
