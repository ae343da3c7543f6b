// Audio buffers for one block that end where memory a plug-in may touch
// ends: right behind each channel's last sample lies a page that cannot be
// read (under AddressSanitizer, a poisoned one), so that a plug-in reading
// more frames than it was given, e.g. the block size announced before,
// crashes in the call that does it instead of reading what lies behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsthost::validate {

class GuardedBuffers {
public:
    // `channels` buffers (one, silent, when there are none, as hosts give)
    // of `frames` samples each.
    GuardedBuffers(std::int32_t channels, std::int32_t frames);
    ~GuardedBuffers();
    GuardedBuffers(const GuardedBuffers&) = delete;
    GuardedBuffers& operator=(const GuardedBuffers&) = delete;

    float** pointers() { return pointers_.data(); }
    float* channel(std::int32_t c) { return pointers_[static_cast<std::size_t>(c)]; }
    const float* channel(std::int32_t c) const { return pointers_[static_cast<std::size_t>(c)]; }
    std::int32_t channels() const { return channels_; }
    std::int32_t frames() const { return frames_; }

private:
    struct Mapping {
        void* start;
        std::size_t bytes;
        void* guard;
    };
    std::int32_t channels_;
    std::int32_t frames_;
    std::vector<Mapping> mappings;
    std::vector<float*> pointers_;
};

}  // namespace vsthost::validate
