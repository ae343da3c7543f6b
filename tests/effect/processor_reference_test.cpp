// The processor against the literal model, bit for bit, over many random
// settings: the guard that every speed-up must keep.
#include <gtest/gtest.h>

#include <random>

#include "effect/tolvane_vst.h"
#include "support/plugin_instance.h"
#include "support/reference_wobble.h"

namespace {

TEST(ProcessorReference, RandomSettingsBitForBit) {
    RecordingHost host;
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float rates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<TolvaneVST> fx(new (std::nothrow) TolvaneVST(RecordingHost::callback));
        ReferenceWobble model;
        const float rate = rates[round % 5];
        fx->dispatcher(effSetSampleRate, 0, 0, nullptr, rate);
        model.sampleRate = rate;
        float x[5];
        for (float& v : x) v = unit(random);
        if (round % 7 == 0) x[round % 5] = 1.0f;
        if (round % 11 == 0) x[(round + 2) % 5] = 0.0f;
        for (std::int32_t i = 0; i < 5; ++i) fx->setParameter(i, x[i]);
        model.periodIndex = static_cast<std::int32_t>(x[0] * 11.0f);
        model.freq1 = x[1] * 19980.0f + 20.0f;
        model.freq2 = x[2] * 19980.0f + 20.0f;
        model.q = x[3] * 14.0f + 0.14f;
        model.mix = x[4];

        const double tempo = 40.0 + 200.0 * unit(random);
        double ppq = 64.0 * unit(random);
        const double step = 1.0 / (static_cast<double>(rate) / (tempo / 60.0));
        for (std::uint32_t block = 0; block < 4; ++block) {
            const auto frames = static_cast<std::int32_t>(1 + random() % 1500);
            StereoBuffer in = noise(static_cast<std::size_t>(frames), block + 100 * round), out(in.frames()),
                         expected(in.frames());
            host.setTransport(ppq, tempo, kVstPpqPosValid | kVstTempoValid);
            fx->processReplacing(in.data(), out.data(), frames);
            model.process(in.data(), expected.data(), frames, ppq, tempo);
            ASSERT_TRUE(sameBits(out.left, expected.left) && sameBits(out.right, expected.right))
                << "round " << round << " block " << block;
            ppq += frames * step;
        }
    }
}

}  // namespace
