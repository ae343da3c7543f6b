// The vector remainder against fmodf for every period: every position below
// 2^12 quarter notes, of either sign (about 2.8 * 10^10 in all), and a dense
// sample of the positions above.
//
// fmodf itself takes 40 to 120 ns a call, far too slow for every position,
// so the full comparison is with an exact integer oracle: within one binade
// x = M * 2^e with consecutive integers M, and P = Mp * 2^p, so the
// remainder is ((M << (e - p)) mod Mp) * 2^p. One division gives the first
// M of a binade; each next M adds (2^(e - p) mod Mp) and subtracts Mp once
// if it reaches it. The oracle in turn is checked against fmodf on every
// 1009th position of every binade, period and sign. An error in it could
// only be a wrong start or step of some binade, which would spoil that
// binade's values throughout and so cannot slip between thousands of
// samples: the oracle is as trustworthy as fmodf on all of them.
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

float (*volatile libraryFmod)(float, float) = fmodf;

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kBinade = 1u << 23;
const std::uint32_t kLimitBits = bitsOf(4096.0f);

// The exact remainders of one binade of positions (bits from `first`, all
// with the same exponent) by the period, in order.
class Oracle {
public:
    Oracle(std::uint32_t first, float period) {
        const std::uint32_t periodBits = bitsOf(period);
        const int periodExponent = static_cast<int>(periodBits >> 23);
        const int exponent = static_cast<int>(first >> 23);
        below = exponent < periodExponent;
        if (below) return;
        periodSignificand = (periodBits & (kBinade - 1)) | kBinade;
        scale = std::ldexp(1.0f, periodExponent - 150);
        const auto shift = static_cast<unsigned>(exponent - periodExponent);
        r = ((std::uint64_t{first & (kBinade - 1)} | kBinade) << shift) % periodSignificand;
        step = (std::uint64_t{1} << shift) % periodSignificand;
    }

    // The remainder of the next position, whose bits are `b` (non-negative).
    float next(std::uint32_t b) {
        if (below) return fromBits(b);  // a whole binade below the period: each position itself
        const float result = static_cast<float>(r) * scale;
        r += step;
        if (r >= periodSignificand) r -= periodSignificand;
        return result;
    }

private:
    bool below;
    std::uint64_t periodSignificand = 1;
    float scale = 1.0f;
    std::uint64_t r = 0;
    std::uint64_t step = 0;
};

struct Task {
    std::uint32_t first;  // a binade's first bits
    float period;
    std::uint32_t sign;
};

std::vector<Task> allTasks() {
    std::vector<Task> tasks;
    for (std::size_t i = 0; i < periodDivisors.size(); ++i)
        for (const std::uint32_t sign : {0u, kSignBit})
            for (std::uint32_t first = 0; first < kLimitBits; first += kBinade)
                tasks.push_back({first, periodLength(static_cast<std::int32_t>(i)), sign});
    return tasks;
}

template <typename Work>
void onEveryCore(const std::vector<Task>& tasks, Work work) {
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers(std::max(1u, std::thread::hardware_concurrency()));
    for (auto& w : workers)
        w = std::thread([&] {
            const SubnormalFlush flush;  // as the processor computes
            for (std::size_t t; (t = next.fetch_add(1)) < tasks.size();) work(tasks[t]);
        });
    for (auto& w : workers) w.join();
}

float withSign(float v, std::uint32_t sign) { return fromBits(bitsOf(v) | sign); }

TEST(ExactRemainderExhaustive, TheOracleIsFmodfOnADenseSample) {
    std::atomic<std::uint64_t> mismatches{0}, compared{0};
    onEveryCore(allTasks(), [&](const Task& task) {
        const auto fmodOf = libraryFmod;
        Oracle oracle(task.first, task.period);
        for (std::uint32_t j = 0; j < kBinade; ++j) {
            const float expected = oracle.next(task.first + j);
            if (j % 1009 != 0) continue;
            const float x = withSign(fromBits(task.first + j), task.sign);
            ++compared;
            if (bitsOf(withSign(expected, task.sign)) != bitsOf(fmodOf(x, task.period))) ++mismatches;
        }
    });
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(compared, 2'000'000u);
}

TEST(ExactRemainderExhaustive, EveryPositionBelow4096QuarterNotes) {
    if (!processorRunsAvx2Fma()) GTEST_SKIP() << "no AVX2 and FMA on this machine";
    std::atomic<std::uint64_t> mismatches{0};
    std::atomic<std::uint32_t> firstBad{0};
    onEveryCore(allTasks(), [&](const Task& task) {
        constexpr std::uint32_t kChunk = 1u << 14;
        std::vector<float> x(kChunk), r(kChunk);
        Oracle oracle(task.first, task.period);
        for (std::uint32_t at = 0; at < kBinade; at += kChunk) {
            for (std::uint32_t j = 0; j < kChunk; ++j) x[j] = fromBits((task.first + at + j) | task.sign);
            exactRemainderAvx2(x.data(), task.period, r.data(), kChunk);
            for (std::uint32_t j = 0; j < kChunk; ++j)
                if (bitsOf(r[j]) != bitsOf(withSign(oracle.next(task.first + at + j), task.sign))) {
                    ++mismatches;
                    firstBad = bitsOf(x[j]);
                }
        }
    });
    EXPECT_EQ(mismatches, 0u) << "for instance at " << fromBits(firstBad);
}

TEST(ExactRemainderExhaustive, ADenseSampleAbove) {
    if (!processorRunsAvx2Fma()) GTEST_SKIP() << "no AVX2 and FMA on this machine";
    const auto fmodOf = libraryFmod;
    std::uint64_t mismatches = 0, compared = 0;
    std::vector<float> x, r;
    for (std::uint32_t b = kLimitBits; b < 0x7f800000u; b += 1009) {
        x.push_back(fromBits(b));
        x.push_back(fromBits(b | kSignBit));
    }
    r.resize(x.size());
    const SubnormalFlush flush;
    for (std::size_t i = 0; i < periodDivisors.size(); ++i) {
        const float period = periodLength(static_cast<std::int32_t>(i));
        exactRemainderAvx2(x.data(), period, r.data(), x.size());
        for (std::size_t j = 0; j < x.size(); ++j, ++compared)
            if (bitsOf(r[j]) != bitsOf(fmodOf(x[j], period))) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(compared, 20'000'000u);
}

}  // namespace
