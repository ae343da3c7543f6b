// The extended dispatcher: which operation each opcode reaches, with which
// arguments, and how its answer comes back to the host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "frame/audio_effect_x.h"
#include "frame/opcodes.h"
#include "support/recording_host.h"

namespace {

class Plain : public AudioEffectX {
public:
    explicit Plain(audioMasterCallback host = nullptr) : AudioEffectX(host, 1, 1) {}
    void processReplacing(float**, float**, std::int32_t) override {}
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f) {
        return getAeffect()->dispatcher(getAeffect(), opcode, index, value, ptr, opt);
    }
    std::int32_t flags() { return getAeffect()->flags; }
    void attach(AEffEditor* e) { editor = e; }
};

// What an operation received; fields it has no argument for stay zero.
struct Received {
    std::string op;
    std::int32_t i1 = 0;
    std::int32_t i2 = 0;
    std::intptr_t wide = 0;
    void* p1 = nullptr;
    void* p2 = nullptr;
    float f = 0.0f;
    bool flag = false;
    bool operator==(const Received&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Received& r) {
    return os << r.op << "(i1=" << r.i1 << " i2=" << r.i2 << " wide=" << r.wide << " p1=" << r.p1 << " p2=" << r.p2
              << " f=" << r.f << " flag=" << r.flag << ")";
}

// Overrides every operation that an opcode of 25 to 79 reaches.
class Probe : public Plain {
public:
    // clang-format off
    using I = std::int32_t;
    Received got;
    int calls = 0;
    bool yes = true;
    I num = -1;
    std::intptr_t big = 0;

#define REC(name, ...) (++calls, got = Received{.op = name __VA_OPT__(, ) __VA_ARGS__})
    I processEvents(VstEvents* e) override { REC("processEvents", .p1 = e); return num; }
    bool canParameterBeAutomated(I i) override { REC("canParameterBeAutomated", .i1 = i); return yes; }
    bool string2parameter(I i, char* t) override { REC("string2parameter", .i1 = i, .p1 = t); return yes; }
    bool getProgramNameIndexed(I c, I i, char* t) override {
        REC("getProgramNameIndexed", .i1 = c, .i2 = i, .p1 = t); return yes;
    }
    bool getInputProperties(I i, VstPinProperties* p) override {
        REC("getInputProperties", .i1 = i, .p1 = p); return yes;
    }
    bool getOutputProperties(I i, VstPinProperties* p) override {
        REC("getOutputProperties", .i1 = i, .p1 = p); return yes;
    }
    I getPlugCategory() override { REC("getPlugCategory"); return num; }
    bool offlineNotify(VstAudioFile* f, I n, bool s) override {
        REC("offlineNotify", .i1 = n, .p1 = f, .flag = s); return yes;
    }
    bool offlinePrepare(VstOfflineTask* t, I n) override { REC("offlinePrepare", .i1 = n, .p1 = t); return yes; }
    bool offlineRun(VstOfflineTask* t, I n) override { REC("offlineRun", .i1 = n, .p1 = t); return yes; }
    bool processVariableIo(VstVariableIo* io) override { REC("processVariableIo", .p1 = io); return yes; }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        REC("setSpeakerArrangement", .p1 = in, .p2 = out); return yes;
    }
    bool setBypass(bool on) override { REC("setBypass", .flag = on); return yes; }
    bool getEffectName(char* t) override { REC("getEffectName", .p1 = t); return yes; }
    bool getVendorString(char* t) override { REC("getVendorString", .p1 = t); return yes; }
    bool getProductString(char* t) override { REC("getProductString", .p1 = t); return yes; }
    I getVendorVersion() override { REC("getVendorVersion"); return num; }
    std::intptr_t vendorSpecific(I a, std::intptr_t b, void* p, float f) override {
        REC("vendorSpecific", .i1 = a, .wide = b, .p1 = p, .f = f); return big;
    }
    I canDo(char* t) override { REC("canDo", .p1 = t); return num; }
    I getGetTailSize() override { REC("getGetTailSize"); return num; }
    bool getParameterProperties(I i, VstParameterProperties* p) override {
        REC("getParameterProperties", .i1 = i, .p1 = p); return yes;
    }
    I getVstVersion() override { REC("getVstVersion"); return num; }
    I getMidiProgramName(I c, MidiProgramName* p) override { REC("getMidiProgramName", .i1 = c, .p1 = p); return num; }
    I getCurrentMidiProgram(I c, MidiProgramName* p) override {
        REC("getCurrentMidiProgram", .i1 = c, .p1 = p); return num;
    }
    I getMidiProgramCategory(I c, MidiProgramCategory* p) override {
        REC("getMidiProgramCategory", .i1 = c, .p1 = p); return num;
    }
    bool hasMidiProgramsChanged(I c) override { REC("hasMidiProgramsChanged", .i1 = c); return yes; }
    bool getMidiKeyName(I c, MidiKeyName* p) override { REC("getMidiKeyName", .i1 = c, .p1 = p); return yes; }
    bool beginSetProgram() override { REC("beginSetProgram"); return yes; }
    bool endSetProgram() override { REC("endSetProgram"); return yes; }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        REC("getSpeakerArrangement", .p1 = in, .p2 = out); return yes;
    }
    I getNextShellPlugin(char* t) override { REC("getNextShellPlugin", .p1 = t); return num; }
    I startProcess() override { REC("startProcess"); return num; }
    I stopProcess() override { REC("stopProcess"); return num; }
    I setTotalSampleToProcess(I v) override { REC("setTotalSampleToProcess", .i1 = v); return num; }
    bool setPanLaw(I t, float g) override { REC("setPanLaw", .i1 = t, .f = g); return yes; }
    I beginLoadBank(VstPatchChunkInfo* p) override { REC("beginLoadBank", .p1 = p); return num; }
    I beginLoadProgram(VstPatchChunkInfo* p) override { REC("beginLoadProgram", .p1 = p); return num; }
    bool setProcessPrecision(I p) override { REC("setProcessPrecision", .i1 = p); return yes; }
    I getNumMidiInputChannels() override { REC("getNumMidiInputChannels"); return num; }
    I getNumMidiOutputChannels() override { REC("getNumMidiOutputChannels"); return num; }
#undef REC
    // clang-format on
};

enum class Result { Bool, Int32, Wide };

struct Route {
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    void* ptr;
    float opt;
    Result result;
    Received expected;
};

// High bits set above a low word of 5: only the low 32 bits may arrive.
constexpr std::intptr_t kHighAndFive = (std::intptr_t{7} << 32) | 5;
// Non-zero with a zero low word: "value != 0" must see it as true.
constexpr std::intptr_t kHighOnly = std::intptr_t{1} << 32;

TEST(ExtendedDispatch, EveryListedOpcodeReachesItsOperationWithMappedArguments) {
    char text[64] = {};
    char other[64] = {};
    void* const p = text;
    void* const q = other;
    const auto v = reinterpret_cast<std::intptr_t>(q);
    // clang-format off
    const Route routes[] = {
        {25, 0, 0, p, 0, Result::Int32, {.op = "processEvents", .p1 = p}},
        {26, 1000, 0, nullptr, 0, Result::Bool, {.op = "canParameterBeAutomated", .i1 = 1000}},
        {27, -3, 0, p, 0, Result::Bool, {.op = "string2parameter", .i1 = -3, .p1 = p}},
        {29, 4, kHighAndFive, p, 0, Result::Bool, {.op = "getProgramNameIndexed", .i1 = 5, .i2 = 4, .p1 = p}},
        {33, 2, 0, p, 0, Result::Bool, {.op = "getInputProperties", .i1 = 2, .p1 = p}},
        {34, 3, 0, p, 0, Result::Bool, {.op = "getOutputProperties", .i1 = 3, .p1 = p}},
        {35, 0, 0, nullptr, 0, Result::Int32, {.op = "getPlugCategory"}},
        {38, 256, kHighAndFive, p, 0, Result::Bool, {.op = "offlineNotify", .i1 = 5, .p1 = p, .flag = true}},
        {38, 0, 2, p, 0, Result::Bool, {.op = "offlineNotify", .i1 = 2, .p1 = p, .flag = false}},
        {39, 0, kHighAndFive, p, 0, Result::Bool, {.op = "offlinePrepare", .i1 = 5, .p1 = p}},
        {40, 0, kHighAndFive, p, 0, Result::Bool, {.op = "offlineRun", .i1 = 5, .p1 = p}},
        {41, 0, 0, p, 0, Result::Bool, {.op = "processVariableIo", .p1 = p}},
        {42, 0, v, p, 0, Result::Bool, {.op = "setSpeakerArrangement", .p1 = q, .p2 = p}},
        {44, 0, kHighOnly, nullptr, 0, Result::Bool, {.op = "setBypass", .flag = true}},
        {44, 0, 0, nullptr, 0, Result::Bool, {.op = "setBypass", .flag = false}},
        {45, 0, 0, p, 0, Result::Bool, {.op = "getEffectName", .p1 = p}},
        {47, 0, 0, p, 0, Result::Bool, {.op = "getVendorString", .p1 = p}},
        {48, 0, 0, p, 0, Result::Bool, {.op = "getProductString", .p1 = p}},
        {49, 0, 0, nullptr, 0, Result::Int32, {.op = "getVendorVersion"}},
        {50, -9, kHighAndFive, p, 2.5f, Result::Wide,
         {.op = "vendorSpecific", .i1 = -9, .wide = kHighAndFive, .p1 = p, .f = 2.5f}},
        {51, 0, 0, p, 0, Result::Int32, {.op = "canDo", .p1 = p}},
        {52, 0, 0, nullptr, 0, Result::Int32, {.op = "getGetTailSize"}},
        {56, 7, 0, p, 0, Result::Bool, {.op = "getParameterProperties", .i1 = 7, .p1 = p}},
        {58, 0, 0, nullptr, 0, Result::Int32, {.op = "getVstVersion"}},
        {62, 15, 0, p, 0, Result::Int32, {.op = "getMidiProgramName", .i1 = 15, .p1 = p}},
        {63, 14, 0, p, 0, Result::Int32, {.op = "getCurrentMidiProgram", .i1 = 14, .p1 = p}},
        {64, 13, 0, p, 0, Result::Int32, {.op = "getMidiProgramCategory", .i1 = 13, .p1 = p}},
        {65, 12, 0, nullptr, 0, Result::Bool, {.op = "hasMidiProgramsChanged", .i1 = 12}},
        {66, 11, 0, p, 0, Result::Bool, {.op = "getMidiKeyName", .i1 = 11, .p1 = p}},
        {67, 0, 0, nullptr, 0, Result::Bool, {.op = "beginSetProgram"}},
        {68, 0, 0, nullptr, 0, Result::Bool, {.op = "endSetProgram"}},
        {69, 0, v, p, 0, Result::Bool, {.op = "getSpeakerArrangement", .p1 = q, .p2 = p}},
        {70, 0, 0, p, 0, Result::Int32, {.op = "getNextShellPlugin", .p1 = p}},
        {71, 0, 0, nullptr, 0, Result::Int32, {.op = "startProcess"}},
        {72, 0, 0, nullptr, 0, Result::Int32, {.op = "stopProcess"}},
        {73, 0, kHighAndFive, nullptr, 0, Result::Int32, {.op = "setTotalSampleToProcess", .i1 = 5}},
        {74, 0, kHighAndFive, nullptr, 0.7f, Result::Bool, {.op = "setPanLaw", .i1 = 5, .f = 0.7f}},
        {75, 0, 0, p, 0, Result::Int32, {.op = "beginLoadBank", .p1 = p}},
        {76, 0, 0, p, 0, Result::Int32, {.op = "beginLoadProgram", .p1 = p}},
        {77, 0, kHighAndFive, nullptr, 0, Result::Bool, {.op = "setProcessPrecision", .i1 = 5}},
        {78, 0, 0, nullptr, 0, Result::Int32, {.op = "getNumMidiInputChannels"}},
        {79, 0, 0, nullptr, 0, Result::Int32, {.op = "getNumMidiOutputChannels"}},
    };
    // clang-format on
    // Two sets of replies, so that both truth values and both signs cross.
    struct Replies {
        bool b;
        std::int32_t i;
        std::intptr_t w;
    };
    for (const Replies r : {Replies{true, -1, std::intptr_t{-0x123456789AB}}, Replies{false, 0x7FFFFFFF, kHighOnly}}) {
        for (const Route& route : routes) {
            Probe fx;
            fx.yes = r.b;
            fx.num = r.i;
            fx.big = r.w;
            const std::intptr_t answer = fx.dispatch(route.opcode, route.index, route.value, route.ptr, route.opt);
            SCOPED_TRACE(testing::Message() << "opcode " << route.opcode << ", reply " << r.i);
            EXPECT_EQ(fx.calls, 1);
            EXPECT_EQ(fx.got, route.expected);
            switch (route.result) {
                case Result::Bool: EXPECT_EQ(answer, r.b ? 1 : 0); break;
                case Result::Int32: EXPECT_EQ(answer, std::intptr_t{r.i}); break;
                case Result::Wide: EXPECT_EQ(answer, r.w); break;
            }
        }
    }

    // Everything else answers 0 and reaches no operation; 59 to 61 without an editor too.
    std::set<std::int32_t> listed;
    for (const Route& route : routes) listed.insert(route.opcode);
    std::set<std::int32_t> rest = {80, 1000, -1, -25, 0x7FFFFFFF};
    for (std::int32_t opcode = 25; opcode <= 79; ++opcode) {
        if (listed.count(opcode) == 0) rest.insert(opcode);
    }
    EXPECT_EQ(rest.size(), 5u + 12u + 3u);
    for (const std::int32_t opcode : rest) {
        Probe fx;
        EXPECT_EQ(fx.dispatch(opcode, 1, 1, p, 1.0f), 0) << opcode;
        EXPECT_EQ(fx.calls, 0) << opcode;
    }
}

TEST(ExtendedDispatch, TextRequestWithoutBufferWritesNothingAndAnswersZero) {
    for (const std::int32_t opcode : {27, 29, 45, 47, 48, 51, 70}) {
        Probe fx;
        fx.num = 5;
        EXPECT_EQ(fx.dispatch(opcode, 0, 0, nullptr), 0) << opcode;
        EXPECT_EQ(fx.calls, 0) << opcode;
    }
}

TEST(ExtendedDispatch, PlugCategoryFollowsTheSynthFlag) {
    Plain fx;
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), kPlugCategUnknown);
    fx.isSynth(true);
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), kPlugCategSynth);
    fx.isSynth(false);
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), kPlugCategUnknown);
}

TEST(ExtendedDispatch, FlagSettersTouchOnlyTheirBit) {
    struct Setter {
        void (AudioEffectX::*set)(bool);
        std::int32_t bit;
    };
    const Setter setters[] = {
        {&AudioEffectX::isSynth, 0x100},
        {&AudioEffectX::noTail, 0x200},
        {&AudioEffectX::wantAsyncOperation, 0x400},
        {&AudioEffectX::hasExternalBuffer, 0x800},
    };
    for (const Setter& s : setters) {
        Plain fx;
        const std::int32_t before = fx.flags();
        (fx.*s.set)(true);
        EXPECT_EQ(fx.flags(), before | s.bit) << s.bit;
        (fx.*s.set)(true);
        EXPECT_EQ(fx.flags(), before | s.bit) << s.bit;
        (fx.*s.set)(false);
        EXPECT_EQ(fx.flags(), before & ~s.bit) << s.bit;
    }
}

class KeyEditor : public AEffEditor {
public:
    std::string op;
    VstKeyCode key{-1, 0xEE, 0xEE};
    std::int32_t mode = -1;
    bool reply = true;
    // clang-format off
    bool onKeyDown(VstKeyCode& k) override { op = "onKeyDown"; key = k; return reply; }
    bool onKeyUp(VstKeyCode& k) override { op = "onKeyUp"; key = k; return reply; }
    bool setKnobMode(std::int32_t m) override { op = "setKnobMode"; mode = m; return reply; }
    // clang-format on
};

TEST(ExtendedDispatch, EditorKeysAndKnobModeReachTheEditor) {
    struct Case {
        std::int32_t opcode;
        std::int32_t index;
        std::intptr_t value;
        float opt;
        const char* op;
        VstKeyCode key;
        std::int32_t mode;
    };
    const Case cases[] = {
        {59, 65, 0x1234, 3.9f, "onKeyDown", {65, 0x34, 3}, -1},
        {60, 65, 0x1234, 3.9f, "onKeyUp", {65, 0x34, 3}, -1},
        {59, -7, -1, -3.9f, "onKeyDown", {-7, 0xFF, 0xFD}, -1},
        {60, 0, 0x1FF, 258.5f, "onKeyUp", {0, 0xFF, 2}, -1},
        // Options without an integer value carry no modifier.
        {59, 1, 2, std::nanf(""), "onKeyDown", {1, 2, 0}, -1},
        {59, 1, 2, 1e10f, "onKeyDown", {1, 2, 0}, -1},
        {60, 1, 2, -1e10f, "onKeyUp", {1, 2, 0}, -1},
        {61, 0, kHighAndFive, 0.0f, "setKnobMode", {-1, 0xEE, 0xEE}, 5},
        {61, 0, -2, 0.0f, "setKnobMode", {-1, 0xEE, 0xEE}, -2},
    };
    for (const Case& c : cases) {
        for (const bool reply : {true, false}) {
            Plain fx;
            auto* const editor = new KeyEditor;  // the effect deletes it
            editor->reply = reply;
            fx.attach(editor);
            SCOPED_TRACE(testing::Message() << "opcode " << c.opcode << ", opt " << c.opt << ", reply " << reply);
            EXPECT_EQ(fx.dispatch(c.opcode, c.index, c.value, nullptr, c.opt), reply ? 1 : 0);
            EXPECT_EQ(editor->op, c.op);
            EXPECT_EQ(editor->key.character, c.key.character);
            EXPECT_EQ(editor->key.virt, c.key.virt);
            EXPECT_EQ(editor->key.modifier, c.key.modifier);
            EXPECT_EQ(editor->mode, c.mode);
        }
    }
}

// canDo is answered per case; resume must ask for events only when it has to.
class Listener : public Plain {
public:
    using Plain::Plain;
    std::int32_t canDoReply = 0;
    std::string asked;
    std::int32_t canDo(char* text) override {
        asked = text;
        return canDoReply;
    }
};

TEST(ExtendedDispatch, ResumeAsksForEventsOnlyForSynthsAndMidiReceivers) {
    struct Case {
        bool synth;
        std::int32_t canDo;
        bool wantsEvents;
    };
    const Case cases[] = {
        {true, 0, true}, {false, 1, true}, {false, 0, false}, {false, 2, false}, {false, -1, false},
    };
    for (const Case& c : cases) {
        RecordingHost host;
        Listener fx(RecordingHost::callback);
        fx.isSynth(c.synth);
        fx.canDoReply = c.canDo;
        SCOPED_TRACE(testing::Message() << "synth " << c.synth << ", canDo " << c.canDo);
        EXPECT_EQ(fx.dispatch(effMainsChanged, 0, 1), 0);
        if (!c.synth) {
            EXPECT_EQ(fx.asked, "receiveVstMidiEvent");
        }
        if (!c.wantsEvents) {
            EXPECT_TRUE(host.calls.empty());
            continue;
        }
        ASSERT_EQ(host.calls.size(), 1u);
        const HostCall& call = host.calls[0];
        EXPECT_EQ(call.effect, fx.getAeffect());
        EXPECT_EQ(call.opcode, audioMasterWantMidi);
        EXPECT_EQ(call.index, 0);
        EXPECT_EQ(call.value, 1);
        EXPECT_EQ(call.ptr, nullptr);
        EXPECT_EQ(call.opt, 0.0f);
    }
}

TEST(ExtendedDispatch, SpeakerArrangementQueryClearsOnlyTheLocationsGiven) {
    VstSpeakerArrangement record{};
    for (const bool withInput : {true, false}) {
        for (const bool withOutput : {true, false}) {
            Plain fx;
            VstSpeakerArrangement* in = &record;
            VstSpeakerArrangement* out = &record;
            const std::intptr_t value = withInput ? reinterpret_cast<std::intptr_t>(&in) : 0;
            EXPECT_EQ(fx.dispatch(effGetSpeakerArrangement, 0, value, withOutput ? &out : nullptr), 0);
            EXPECT_EQ(in, withInput ? nullptr : &record);
            EXPECT_EQ(out, withOutput ? nullptr : &record);
        }
    }
}

// Itanium C++ ABI: a pointer to a virtual member holds 1 + its byte offset in the table.
template <typename Member>
std::intptr_t slotOf(Member member) {
    struct {
        std::intptr_t ptr;
        std::intptr_t adj;
    } raw;
    static_assert(sizeof member == sizeof raw);
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.ptr - 1) / static_cast<std::intptr_t>(sizeof(void*));
}

TEST(ExtendedDispatch, ExtendedOperationsFollowTheBaseInTheirFixedOrder) {
#define S(name) slotOf(&AudioEffectX::name)
    // clang-format off
    const std::intptr_t slots[] = {
        S(canParameterBeAutomated), S(string2parameter), S(getParameterProperties), S(beginEdit), S(endEdit),
        S(getProgramNameIndexed), S(beginSetProgram), S(endSetProgram), S(beginLoadBank), S(beginLoadProgram),
        S(ioChanged), S(updateSampleRate), S(updateBlockSize), S(getInputLatency), S(getOutputLatency),
        S(getInputProperties), S(getOutputProperties), S(setSpeakerArrangement), S(getSpeakerArrangement),
        S(setBypass), S(setPanLaw), S(setProcessPrecision), S(getNumMidiInputChannels),
        S(getNumMidiOutputChannels), S(getTimeInfo), S(getCurrentProcessLevel), S(getAutomationState),
        S(processEvents), S(startProcess), S(stopProcess), S(processVariableIo), S(setTotalSampleToProcess),
        S(getHostVendorString), S(getHostProductString), S(getHostVendorVersion), S(hostVendorSpecific),
        S(canHostDo), S(getHostLanguage), S(isSynth), S(noTail), S(getGetTailSize), S(getDirectory),
        S(getEffectName), S(getVendorString), S(getProductString), S(getVendorVersion), S(vendorSpecific),
        S(canDo), S(getVstVersion), S(getPlugCategory), S(getMidiProgramName), S(getCurrentMidiProgram),
        S(getMidiProgramCategory), S(hasMidiProgramsChanged), S(getMidiKeyName), S(updateDisplay),
        S(sizeWindow), S(openFileSelector), S(closeFileSelector), S(getNextShellPlugin),
        S(allocateArrangement), S(deallocateArrangement), S(copySpeaker), S(matchArrangement), S(offlineRead),
        S(offlineWrite), S(offlineStart), S(offlineGetCurrentPass), S(offlineGetCurrentMetaPass),
        S(offlineNotify), S(offlinePrepare), S(offlineRun), S(offlineGetNumPasses), S(offlineGetNumMetaPasses),
        S(wantEvents), S(tempoAt), S(getNumAutomatableParameters), S(getParameterQuantization),
        S(getNumCategories), S(copyProgram), S(needIdle), S(getPreviousPlug), S(getNextPlug), S(inputConnected),
        S(outputConnected), S(willProcessReplacing), S(wantAsyncOperation), S(hasExternalBuffer),
        S(reportCurrentPosition), S(reportDestinationBuffer), S(setOutputSamplerate),
        S(getInputSpeakerArrangement), S(getOutputSpeakerArrangement), S(openWindow), S(closeWindow),
        S(setBlockSizeAndSampleRate), S(getErrorText), S(getIcon), S(setViewPosition), S(fxIdle),
        S(keysRequired), S(getChunkFile),
    };
    // clang-format on
#undef S
    ASSERT_EQ(std::size(slots), 102u);
    std::intptr_t expected = slotOf(&AudioEffect::isOutputConnected) + 1;
    for (std::size_t i = 0; i < std::size(slots); ++i, ++expected) EXPECT_EQ(slots[i], expected) << i;
}

}  // namespace
