// The vector sine and cosine against the library's sinf and cosf for every
// float from 0 to the largest angle the processor passes them, in the
// floating-point mode it processes in: about 10^9 angles, on every core.
// The shorter sine of arcs is checked over every float from 0 to 2; the
// arches it takes end at pi / 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "effect/avx2/kernels.h"
#include "effect/subnormal_flush.h"
#include "effect/sweep.h"
#include "effect/vector_support.h"
#include "support/float_bits.h"

namespace {

// Called through pointers, so each is the library's own call.
float (*volatile librarySin)(float) = sinf;
float (*volatile libraryCos)(float) = cosf;

struct Mismatches {
    std::atomic<std::uint64_t> count{0};
    std::atomic<std::uint32_t> first{UINT32_MAX};
    void add(std::uint32_t bits) {
        ++count;
        std::uint32_t seen = first.load();
        while (bits < seen && !first.compare_exchange_weak(seen, bits)) {
        }
    }
};

// Compares every angle whose bits lie in [from, to], in chunks shared by all cores.
void compareAll(std::uint32_t from, std::uint32_t to, Mismatches& sines, Mismatches& cosines, Mismatches& arcs) {
    constexpr std::uint32_t kChunk = 1u << 16;
    std::atomic<std::uint64_t> next{from};
    const auto work = [&] {
        const SubnormalFlush flush;
        const auto sinOf = librarySin;
        const auto cosOf = libraryCos;
        std::vector<float> angles(kChunk), s(kChunk), c(kChunk), a(kChunk);
        for (std::uint64_t start; (start = next.fetch_add(kChunk)) <= to;) {
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, to - start + 1));
            for (std::uint32_t j = 0; j < n; ++j) angles[j] = fromBits(static_cast<std::uint32_t>(start) + j);
            librarySinCosAvx2(angles.data(), s.data(), c.data(), n);
            librarySineOfArcAvx2(angles.data(), a.data(), n);
            for (std::uint32_t j = 0; j < n; ++j) {
                const std::uint32_t sine = bitsOf(sinOf(angles[j]));
                if (bitsOf(s[j]) != sine) sines.add(bitsOf(angles[j]));
                if (bitsOf(c[j]) != bitsOf(cosOf(angles[j]))) cosines.add(bitsOf(angles[j]));
                if (angles[j] < 2.0f && bitsOf(a[j]) != sine) arcs.add(bitsOf(angles[j]));
            }
        }
    };
    std::vector<std::thread> workers(std::max(1u, std::thread::hardware_concurrency()));
    for (auto& w : workers) w = std::thread(work);
    for (auto& w : workers) w.join();
}

TEST(VectorSinCosExhaustive, EveryAngleFromZeroToTheLargest) {
    if (!vectorStepsAvailable()) GTEST_SKIP() << "the processor takes no vector steps on this machine";
    static_assert(kMaxAngle > 2.0f);
    Mismatches sines, cosines, arcs;
    compareAll(0, bitsOf(kMaxAngle), sines, cosines, arcs);
    EXPECT_EQ(sines.count, 0u) << "first at " << fromBits(sines.first);
    EXPECT_EQ(cosines.count, 0u) << "first at " << fromBits(cosines.first);
    EXPECT_EQ(arcs.count, 0u) << "first at " << fromBits(arcs.first);
}

}  // namespace
