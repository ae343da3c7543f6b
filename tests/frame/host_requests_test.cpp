// What every request to the host sends, and how the host's answer comes back.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "frame/audio_effect_x.h"
#include "frame/opcodes.h"
#include "support/recording_host.h"

namespace {

// A host whose answer to every request is set by the test.
struct ScriptedHost {
    static inline std::vector<HostCall> calls;
    static inline std::intptr_t reply = 0;
    static std::intptr_t callback(AEffect* e, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                  float opt) {
        calls.push_back({e, opcode, index, value, ptr, opt});
        return reply;
    }
};

class Plain : public AudioEffectX {
public:
    using AudioEffectX::AudioEffectX;
    void processReplacing(float**, float**, std::int32_t) override {}
};

// How an answer of the host becomes the operation's result, as the five
// results for host answers 0, 1, -1, 2^32 and for no host at all.
struct Conversion {
    std::intptr_t results[5];
};
constexpr std::intptr_t kHigh = std::intptr_t{1} << 32;
constexpr std::intptr_t kHostAnswers[4] = {0, 1, -1, kHigh};
constexpr Conversion kLow32{{0, 1, -1, 0, 0}};
constexpr Conversion kNonZero{{0, 1, 1, 1, 0}};  // non-zero → true, and non-zero → 1
constexpr Conversion kZeroIsTrue{{1, 0, 0, 1, 1}};
constexpr Conversion kWhole{{0, 1, -1, kHigh, 0}};  // pointers and hostVendorSpecific
constexpr Conversion kNothing{{0, 0, 0, 0, 0}};
constexpr Conversion kVersion{{1, 1, -1, 1, 1}};
constexpr Conversion kSampleRate{{44100, 1, 44100, kHigh, 44100}};
constexpr Conversion kBlockSize{{1024, 1, 1024, 1024, 1024}};

std::intptr_t asResult(bool b) { return b ? 1 : 0; }
std::intptr_t asResult(std::int32_t i) { return i; }
std::intptr_t asResult(std::intptr_t i) { return i; }
std::intptr_t asResult(double d) { return static_cast<std::intptr_t>(d); }
std::intptr_t asResult(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

struct Request {
    const char* name;
    std::function<std::intptr_t(AudioEffectX&)> call;
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    void* ptr;
    float opt;
    Conversion conversion;
};

TEST(HostRequests, EveryRequestSendsItsArgumentsAndConvertsTheAnswer) {
    char buffer[64] = {};
    void* const p = buffer;
    auto* const text = buffer;
    auto* const files = static_cast<VstAudioFile*>(p);
    auto* const task = static_cast<VstOfflineTask*>(p);
    auto* const window = static_cast<VstWindow*>(p);
    auto* const select = static_cast<VstFileSelect*>(p);
    constexpr std::int32_t kSignBitMask = static_cast<std::int32_t>(0x80000600u);
#define R(expr) [&](AudioEffectX& fx) { return asResult(fx.expr); }
#define V(expr)                  \
    [&](AudioEffectX& fx) {      \
        fx.expr;                 \
        return std::intptr_t{0}; \
    }
    const Request requests[] = {
        {"setParameterAutomated", V(setParameterAutomated(3, 0.75f)), 0, 3, 0, nullptr, 0.75f, kNothing},
        {"getMasterVersion", R(getMasterVersion()), 1, 0, 0, nullptr, 0, kVersion},
        {"getCurrentUniqueId", R(getCurrentUniqueId()), 2, 0, 0, nullptr, 0, kLow32},
        {"masterIdle", V(masterIdle()), 3, 0, 0, nullptr, 0, kNothing},
        {"isInputConnected", R(isInputConnected(3)), 4, 3, 0, nullptr, 0, kZeroIsTrue},
        {"isOutputConnected", R(isOutputConnected(3)), 4, 3, 1, nullptr, 0, kZeroIsTrue},
        {"wantEvents", V(wantEvents(-2)), 6, 0, -2, nullptr, 0, kNothing},
        {"getTimeInfo", R(getTimeInfo(0x600)), 7, 0, 1536, nullptr, 0, kWhole},
        {"getTimeInfo bit 31", R(getTimeInfo(kSignBitMask)), 7, 0, kSignBitMask, nullptr, 0, kWhole},
        {"tempoAt", R(tempoAt(-5)), 10, 0, -5, nullptr, 0, kLow32},
        {"getNumAutomatableParameters", R(getNumAutomatableParameters()), 11, 0, 0, nullptr, 0, kLow32},
        {"getParameterQuantization", R(getParameterQuantization()), 12, 0, 0, nullptr, 0, kLow32},
        {"ioChanged", R(ioChanged()), 13, 0, 0, nullptr, 0, kNonZero},
        {"needIdle", R(needIdle()), 14, 0, 0, nullptr, 0, kNonZero},
        {"sizeWindow", R(sizeWindow(640, 480)), 15, 640, 480, nullptr, 0, kNonZero},
        {"updateSampleRate", R(updateSampleRate()), 16, 0, 0, nullptr, 0, kSampleRate},
        {"updateBlockSize", R(updateBlockSize()), 17, 0, 0, nullptr, 0, kBlockSize},
        {"getInputLatency", R(getInputLatency()), 18, 0, 0, nullptr, 0, kLow32},
        {"getOutputLatency", R(getOutputLatency()), 19, 0, 0, nullptr, 0, kLow32},
        {"getPreviousPlug", R(getPreviousPlug(5)), 20, 0, 0, nullptr, 0, kWhole},
        {"getNextPlug", R(getNextPlug(-1)), 21, 0, 0, nullptr, 0, kWhole},
        {"willProcessReplacing", R(willProcessReplacing()), 22, 0, 0, nullptr, 0, kLow32},
        {"getCurrentProcessLevel", R(getCurrentProcessLevel()), 23, 0, 0, nullptr, 0, kLow32},
        {"getAutomationState", R(getAutomationState()), 24, 0, 0, nullptr, 0, kLow32},
        {"offlineStart", R(offlineStart(files, 4, 2)), 25, 2, 4, p, 0, kNonZero},
        {"offlineRead source", R(offlineRead(task, -3, true)), 26, 1, -3, p, 0, kNonZero},
        {"offlineRead", R(offlineRead(task, 6, false)), 26, 0, 6, p, 0, kNonZero},
        {"offlineWrite", R(offlineWrite(task, 9)), 27, 0, 9, p, 0, kNonZero},
        {"offlineGetCurrentPass", R(offlineGetCurrentPass()), 28, 0, 0, nullptr, 0, kNonZero},
        {"offlineGetCurrentMetaPass", R(offlineGetCurrentMetaPass()), 29, 0, 0, nullptr, 0, kNonZero},
        {"setOutputSamplerate", V(setOutputSamplerate(48000.5f)), 30, 0, 0, nullptr, 48000.5f, kNothing},
        {"getOutputSpeakerArrangement", R(getOutputSpeakerArrangement()), 31, 0, 0, nullptr, 0, kWhole},
        {"getHostVendorString", R(getHostVendorString(text)), 32, 0, 0, p, 0, kNonZero},
        {"getHostProductString", R(getHostProductString(text)), 33, 0, 0, p, 0, kNonZero},
        {"getHostVendorVersion", R(getHostVendorVersion()), 34, 0, 0, nullptr, 0, kLow32},
        {"hostVendorSpecific", R(hostVendorSpecific(-4, 0x123456789, p, 0.5f)), 35, -4, 0x123456789, p, 0.5f, kWhole},
        {"canHostDo", R(canHostDo(text)), 37, 0, 0, p, 0, kNonZero},
        {"getHostLanguage", R(getHostLanguage()), 38, 0, 0, nullptr, 0, kLow32},
        {"openWindow", R(openWindow(window)), 39, 0, 0, p, 0, kWhole},
        {"closeWindow", R(closeWindow(window)), 40, 0, 0, p, 0, kNonZero},
        {"getDirectory", R(getDirectory()), 41, 0, 0, nullptr, 0, kWhole},
        {"updateDisplay", R(updateDisplay()), 42, 0, 0, nullptr, 0, kNonZero},
        {"beginEdit", R(beginEdit(2)), 43, 2, 0, nullptr, 0, kNonZero},
        {"endEdit", R(endEdit(4)), 44, 4, 0, nullptr, 0, kNonZero},
        {"openFileSelector", R(openFileSelector(select)), 45, 0, 0, p, 0, kNonZero},
        {"closeFileSelector", R(closeFileSelector(select)), 46, 0, 0, p, 0, kNonZero},
        {"getChunkFile", R(getChunkFile(p)), 48, 0, 0, p, 0, kNonZero},
        {"getInputSpeakerArrangement", R(getInputSpeakerArrangement()), 49, 0, 0, nullptr, 0, kWhole},
    };
#undef R
#undef V
    for (const Request& r : requests) {
        for (int a = 0; a < 4; ++a) {
            SCOPED_TRACE(testing::Message() << r.name << ", host answers " << kHostAnswers[a]);
            Plain fx(ScriptedHost::callback, 1, 4);
            ScriptedHost::calls.clear();
            ScriptedHost::reply = kHostAnswers[a];
            EXPECT_EQ(r.call(fx), r.conversion.results[a]);
            ASSERT_EQ(ScriptedHost::calls.size(), 1u);
            const HostCall& sent = ScriptedHost::calls[0];
            EXPECT_EQ(sent.effect, fx.getAeffect());
            EXPECT_EQ(sent.opcode, r.opcode);
            EXPECT_EQ(sent.index, r.index);
            EXPECT_EQ(sent.value, r.value);
            EXPECT_EQ(sent.ptr, r.ptr);
            EXPECT_EQ(sent.opt, r.opt);
        }
        Plain alone(nullptr, 1, 4);
        ScriptedHost::calls.clear();
        EXPECT_EQ(r.call(alone), r.conversion.results[4]) << r.name << " without a host";
        EXPECT_TRUE(ScriptedHost::calls.empty()) << r.name;
    }
    // Every opcode the frame can send, and no other, is in the table.
    std::set<std::int32_t> sent;
    for (const Request& r : requests) sent.insert(r.opcode);
    std::set<std::int32_t> sendable = {0, 1, 2, 3, 4, 6, 7, 48, 49};
    for (std::int32_t opcode = 10; opcode <= 46; ++opcode) {
        if (opcode != 36) sendable.insert(opcode);
    }
    EXPECT_EQ(sent, sendable);
}

TEST(HostRequests, MasterVersionTakesAZeroLowWordAsVersionOne) {
    struct Case {
        std::intptr_t answer;
        std::int32_t version;
    };
    for (const Case c : {Case{2400, 2400}, Case{0, 1}, Case{kHigh, 1}, Case{kHigh + 2400, 2400}}) {
        Plain fx(ScriptedHost::callback, 1, 4);
        ScriptedHost::reply = c.answer;
        EXPECT_EQ(fx.getMasterVersion(), c.version) << c.answer;
    }
}

TEST(HostRequests, OnlyAPositiveAnswerReplacesSampleRateOrBlockSize) {
    struct Case {
        std::intptr_t answer;
        float rate;
        std::int32_t size;
    };
    const Case cases[] = {
        {96000, 96000.0f, 96000},          {512, 512.0f, 512},       {0, 44100.0f, 1024}, {-1, 44100.0f, 1024},
        {kHigh + 512, 4294967808.0f, 512}, {-kHigh, 44100.0f, 1024},
    };
    for (const Case& c : cases) {
        Plain fx(ScriptedHost::callback, 1, 4);
        ScriptedHost::reply = c.answer;
        EXPECT_EQ(fx.updateSampleRate(), static_cast<double>(c.rate)) << c.answer;
        EXPECT_EQ(fx.getSampleRate(), c.rate) << c.answer;
        EXPECT_EQ(fx.updateBlockSize(), c.size) << c.answer;
        EXPECT_EQ(fx.getBlockSize(), c.size) << c.answer;
    }
}

TEST(HostRequests, NullRecordsAndPathsAreNeverSent) {
    Plain fx(ScriptedHost::callback, 1, 4);
    ScriptedHost::reply = 1;
    ScriptedHost::calls.clear();
    EXPECT_FALSE(fx.openFileSelector(nullptr));
    EXPECT_FALSE(fx.closeFileSelector(nullptr));
    EXPECT_FALSE(fx.getChunkFile(nullptr));
    EXPECT_TRUE(ScriptedHost::calls.empty());
}

TEST(HostRequests, PlugQueriesNeverSendThePinNumber) {
    for (const std::int32_t pin : {-1, 0, 1, 7, 0x7FFFFFFF}) {
        Plain fx(ScriptedHost::callback, 1, 4);
        ScriptedHost::calls.clear();
        fx.getPreviousPlug(pin);
        fx.getNextPlug(pin);
        ASSERT_EQ(ScriptedHost::calls.size(), 2u);
        EXPECT_EQ(ScriptedHost::calls[0].index, 0) << pin;
        EXPECT_EQ(ScriptedHost::calls[1].index, 0) << pin;
    }
}

}  // namespace
