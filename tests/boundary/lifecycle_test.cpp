// Creation and destruction of instances as a workstation performs them.
#include <gtest/gtest.h>

#include "host/allocation/allocation_counter.h"
#include "support/plugin_instance.h"

namespace {

struct VersionCase {
    std::intptr_t answer;
    bool creates;
};

class EntryPoint : public ::testing::TestWithParam<VersionCase> {};

TEST_P(EntryPoint, CreatesAnInstanceForAnyNonZeroVersionAnswer) {
    PluginLibrary lib;
    RecordingHost host;
    host.versionAnswer = GetParam().answer;
    const bool counting = allocation_counter::available();
    if (counting) allocation_counter::start();
    AEffect* e = lib.entry()(RecordingHost::callback);
    const std::int64_t allocations = counting ? allocation_counter::stop() : -1;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterVersion);
    if (!GetParam().creates) {
        EXPECT_EQ(e, nullptr);
        if (counting) {
            EXPECT_EQ(allocations, 0);
        }
        return;
    }
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(dispatch(e, effClose), 1);
}

INSTANTIATE_TEST_SUITE_P(VersionAnswers, EntryPoint,
                         ::testing::Values(VersionCase{0, false}, VersionCase{1, true}, VersionCase{2400, true},
                                           VersionCase{-1, true}, VersionCase{std::intptr_t{1} << 32, true}));

TEST(EntryPoint, AnswersNullWithoutAHostCallback) {
    PluginLibrary lib;
    EXPECT_EQ(lib.entry()(nullptr), nullptr);
}

TEST(EntryPoint, MainIsTheSameFunction) {
    PluginLibrary lib;
    RecordingHost host;
    auto viaMain = reinterpret_cast<EntryPointFunction>(lib.symbol("main"));
    ASSERT_EQ(reinterpret_cast<void*>(viaMain), lib.symbol("VSTPluginMain"));
    AEffect* e = viaMain(RecordingHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->uniqueID, fourCharCode('k', 'Z', 'r', 'n'));
    EXPECT_EQ(dispatch(e, effClose), 1);
}

TEST(DispatcherEntry, CloseAnswersOneAndOtherOpcodesTheirFullWidthAnswer) {
    PluginLibrary lib;
    RecordingHost host;
    AEffect* e = lib.entry()(RecordingHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(dispatch(e, effGetCurrentMidiProgram), std::intptr_t{-1});
    EXPECT_EQ(dispatch(e, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(e, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(e, effOpen), 0);
    // The core answers 0 for close; the entry answers 1 and the instance is gone
    // (the sanitizer build reports a leak or a use after free otherwise).
    EXPECT_EQ(dispatch(e, effClose), 1);
}

TEST(Instances, KeepSeparateSampleRatesAndFilterStates) {
    PluginLibrary lib;
    RecordingHost host;
    StereoBuffer inputA = noise(512, 1), inputB = noise(512, 2);

    // Each alone, in order.
    std::vector<StereoBuffer> alone;
    {
        PluginInstance a(lib, host);
        alone.push_back(a.process(inputA));
        alone.push_back(a.process(inputB));
    }
    {
        PluginInstance b(lib, host);
        b.setSampleRate(48000.0f);
        alone.push_back(b.process(inputB));
        alone.push_back(b.process(inputA));
    }
    // Interleaved: what one instance does must not show in the other.
    PluginInstance a(lib, host), b(lib, host);
    b.setSampleRate(48000.0f);
    StereoBuffer a1 = a.process(inputA);
    StereoBuffer b1 = b.process(inputB);
    StereoBuffer a2 = a.process(inputB);
    StereoBuffer b2 = b.process(inputA);
    EXPECT_TRUE(sameBits(a1.left, alone[0].left) && sameBits(a1.right, alone[0].right));
    EXPECT_TRUE(sameBits(a2.left, alone[1].left) && sameBits(a2.right, alone[1].right));
    EXPECT_TRUE(sameBits(b1.left, alone[2].left) && sameBits(b1.right, alone[2].right));
    EXPECT_TRUE(sameBits(b2.left, alone[3].left) && sameBits(b2.right, alone[3].right));
    EXPECT_FALSE(sameBits(a1.left, b2.left));
}

}  // namespace
