// While it processes, the effect flushes subnormal numbers; the caller's
// floating-point mode is untouched when it returns, normal signals keep
// every bit, and a decaying tail reaches zero instead of cycling through
// subnormal values.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <new>

#include "effect/tolvane_vst.h"
#include "support/plugin_instance.h"
#include "support/reference_wobble.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

constexpr float kFreq500 = (500.0f - 20.0f) / 19980.0f;  // Freq 1 and Freq 2 at 500 Hz

struct Effect {
    Effect() : fx(new (std::nothrow) TolvaneVST(RecordingHost::callback)) {}
    void process(StereoBuffer& in, StereoBuffer& out) {
        fx->processReplacing(in.data(), out.data(), static_cast<std::int32_t>(in.frames()));
    }
    RecordingHost host;
    std::unique_ptr<TolvaneVST> fx;
};

StereoBuffer scaled(StereoBuffer b, float gain) {
    for (float& v : b.left) v *= gain;
    for (float& v : b.right) v *= gain;
    return b;
}

bool anySubnormal(const StereoBuffer& b) {
    for (std::size_t i = 0; i < b.frames(); ++i)
        if (std::fpclassify(b.left[i]) == FP_SUBNORMAL || std::fpclassify(b.right[i]) == FP_SUBNORMAL) return true;
    return false;
}

#if defined(__SSE2__)
TEST(SubnormalFlush, TheCallersModeIsRestored) {
    const unsigned defaultMode = _mm_getcsr();
    const unsigned modes[] = {
        0x1f80,           // the usual: all exceptions masked, round to nearest
        0x1f80 | 0x8000,  // the caller flushes already
        0x1f80 | 0x0040,  // the caller reads subnormals as zero
        0x1f80 | 0x8040,  // both
        0x1f80 | 0x003f,  // every sticky exception flag raised
        0x1f80 | 0x6000,  // rounding toward zero
    };
    // The low six bits are sticky exception flags, which any arithmetic may
    // raise; the rest is the mode.
    const unsigned flags = 0x3f;
    Effect e;
    StereoBuffer in = noise(300, 3), out(300);
    for (const unsigned mode : modes) {
        _mm_setcsr(mode);
        e.process(in, out);
        const unsigned after = _mm_getcsr();
        _mm_setcsr(defaultMode);
        EXPECT_EQ(after & ~flags, mode & ~flags) << std::hex << mode;
        EXPECT_EQ(after & mode & flags, mode & flags) << std::hex << mode;
    }
}
#endif

TEST(SubnormalFlush, NormalSignalsKeepEveryBit) {
    for (const float level : {1.0f, 1e-3f, 1e-6f, 1e-12f}) {
        Effect e;
        ReferenceWobble model;
        for (std::int32_t index : {1, 2}) e.fx->setParameter(index, kFreq500);
        model.freq1 = model.freq2 = kFreq500 * 19980.0f + 20.0f;
        double ppq = 0.0;
        for (std::uint32_t block = 0; block < 8; ++block) {
            StereoBuffer in = scaled(noise(777, block), level), out(in.frames()), expected(in.frames());
            e.host.setTransport(ppq, 120.0, kVstPpqPosValid | kVstTempoValid);
            e.process(in, out);
            model.process(in.data(), expected.data(), 777, ppq, 120.0);
            ASSERT_TRUE(sameBits(out.left, expected.left) && sameBits(out.right, expected.right))
                << "level " << level << " block " << block;
            ppq += 777.0 / 22050.0;
        }
    }
}

// Without the flush, the filter held at 500 Hz cycles through subnormal
// values for ever after the burst ends.
TEST(SubnormalFlush, ATailDecaysToZero) {
    Effect e;
    for (std::int32_t index : {1, 2}) e.fx->setParameter(index, kFreq500);
    StereoBuffer burst = noise(4410, 9), silence(4410), out(4410);
    e.process(burst, out);
    bool reachedZero = false;
    for (int block = 0; block < 100 && !reachedZero; ++block) {
        e.process(silence, out);
        ASSERT_FALSE(anySubnormal(out)) << "block " << block;
        reachedZero = out.left.back() == 0.0f && out.right.back() == 0.0f;
    }
    EXPECT_TRUE(reachedZero);
}

}  // namespace
