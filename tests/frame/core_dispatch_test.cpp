// Opcodes 0 to 24: what each one calls, with which arguments, and its answer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "frame/audio_effect.h"
#include "frame/opcodes.h"

namespace {

// Records every operation the core dispatcher reaches.
class ProbeEffect : public AudioEffect {
public:
    ProbeEffect() : AudioEffect(nullptr, 4, 3) {}

    void processReplacing(float**, float**, std::int32_t) override {}
    void open() override { log("open"); }
    void close() override { log("close"); }
    void suspend() override { log("suspend"); }
    void resume() override { log("resume"); }
    void setSampleRate(float rate) override {
        log("setSampleRate " + std::to_string(rate));
        AudioEffect::setSampleRate(rate);
    }
    void setBlockSize(std::int32_t size) override {
        log("setBlockSize " + std::to_string(size));
        AudioEffect::setBlockSize(size);
    }
    void setProgram(std::int32_t p) override {
        log("setProgram " + std::to_string(p));
        AudioEffect::setProgram(p);
    }
    std::int32_t getProgram() override {
        log("getProgram");
        return programAnswer;
    }
    void setProgramName(char* name) override { log(std::string("setProgramName ") + name); }
    void getProgramName(char* name) override {
        log("getProgramName");
        AudioEffect::getProgramName(name);
    }
    void getParameterLabel(std::int32_t i, char* t) override {
        log("getParameterLabel " + std::to_string(i));
        AudioEffect::getParameterLabel(i, t);
    }
    void getParameterDisplay(std::int32_t i, char* t) override {
        log("getParameterDisplay " + std::to_string(i));
        AudioEffect::getParameterDisplay(i, t);
    }
    void getParameterName(std::int32_t i, char* t) override {
        log("getParameterName " + std::to_string(i));
        AudioEffect::getParameterName(i, t);
    }
    float getVu() override {
        log("getVu");
        return 1.0f;
    }
    std::int32_t getChunk(void** data, bool isPreset) override {
        log(std::string("getChunk ") + (isPreset ? "preset" : "bank"));
        return AudioEffect::getChunk(data, isPreset) + chunkAnswer;
    }
    std::int32_t setChunk(void* data, std::int32_t size, bool isPreset) override {
        log("setChunk " + std::to_string(size) + (isPreset ? " preset" : " bank"));
        return AudioEffect::setChunk(data, size, isPreset) + chunkAnswer;
    }

    void log(const std::string& s) { calls.push_back(s); }
    std::string lastCall() const { return calls.empty() ? "" : calls.back(); }

    std::vector<std::string> calls;
    std::int32_t programAnswer = 0;
    std::int32_t chunkAnswer = 0;
    float rate() const { return sampleRate; }
    std::int32_t block() const { return blockSize; }
    std::int32_t program() const { return curProgram; }
};

struct Row {
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    float opt;
    std::intptr_t answer;
    const char* call;  // the operation reached, or "" for none
};

const std::intptr_t kHighOnly = std::intptr_t{1} << 32;

const Row rows[] = {
    {effOpen, 0, 0, 0.0f, 0, "open"},
    {effClose, 0, 0, 0.0f, 0, "close"},
    {effSetProgram, 0, 2, 0.0f, 0, "setProgram 2"},
    {effSetProgram, 0, 4, 0.0f, 0, ""},              // not below numPrograms
    {effSetProgram, 0, kHighOnly + 1, 0.0f, 0, ""},  // only high bits set: no program
    {effSetProgram, 0, -1, 0.0f, 0, ""},             // negative: no program
    {effGetProgram, 0, 0, 0.0f, 0, "getProgram"},
    {effGetProgramName, 0, 0, 0.0f, 0, "getProgramName"},
    {effGetParamLabel, 7, 0, 0.0f, 0, "getParameterLabel 7"},
    {effGetParamDisplay, -2, 0, 0.0f, 0, "getParameterDisplay -2"},
    {effGetParamName, 1, 0, 0.0f, 0, "getParameterName 1"},
    {effGetVu, 0, 0, 0.0f, 0, ""},
    {effSetSampleRate, 0, 96000, 48000.0f, 0, "setSampleRate 48000.000000"},
    {effSetBlockSize, 0, kHighOnly + 256, 3.0f, 0, "setBlockSize 256"},
    {effMainsChanged, 0, 0, 0.0f, 0, "suspend"},
    {effMainsChanged, 0, 1, 0.0f, 0, "resume"},
    {effMainsChanged, 0, kHighOnly, 0.0f, 0, "resume"},
    {effMainsChanged, 0, 0, 0.0f, 0, "suspend"},
    {effEditGetRect, 0, 0, 0.0f, 0, ""},
    {effEditOpen, 0, 0, 0.0f, 0, ""},
    {effEditClose, 0, 0, 0.0f, 0, ""},
    {effEditDraw, 0, 0, 0.0f, 0, ""},
    {effEditMouse, 0, 0, 0.0f, 0, ""},
    {effEditKey, 0, 0, 0.0f, 0, ""},
    {effEditIdle, 0, 0, 0.0f, 0, ""},
    {effEditTop, 0, 0, 0.0f, 0, ""},
    {effEditSleep, 0, 0, 0.0f, 0, ""},
    {effIdentify, 0, 0, 0.0f, 0x4E764566, ""},
    {effGetChunk, 1, 0, 0.0f, 0, "getChunk preset"},
    {effGetChunk, 0, 0, 0.0f, 0, "getChunk bank"},
    {effSetChunk, 0, kHighOnly + 100, 0.0f, 0, "setChunk 100 bank"},
    {effSetChunk, 5, 7, 0.0f, 0, "setChunk 7 preset"},
    {25, 0, 0, 0.0f, 0, ""},
    {1000, 0, 0, 0.0f, 0, ""},
    {-1, 0, 0, 0.0f, 0, ""},
    {INT32_MIN, 0, 0, 0.0f, 0, ""},
};

TEST(CoreDispatch, EachOpcodeReachesItsOperationWithItsArguments) {
    ProbeEffect fx;
    for (const Row& row : rows) {
        fx.calls.clear();
        char buffer[64];
        std::memset(buffer, 0x7F, sizeof buffer);
        const std::intptr_t answer = fx.dispatcher(row.opcode, row.index, row.value, buffer, row.opt);
        EXPECT_EQ(answer, row.answer) << "opcode " << row.opcode;
        EXPECT_EQ(fx.calls.size(), row.call[0] == '\0' ? 0u : 1u) << "opcode " << row.opcode;
        EXPECT_EQ(fx.lastCall(), row.call) << "opcode " << row.opcode;
    }
}

TEST(CoreDispatch, AnswersAreSignExtendedThirtyTwoBitResults) {
    ProbeEffect fx;
    fx.programAnswer = -1;
    fx.chunkAnswer = -7;
    void* data = &fx;
    EXPECT_EQ(fx.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), std::intptr_t{-1});
    EXPECT_EQ(fx.dispatcher(effGetChunk, 0, 0, &data, 0.0f), std::intptr_t{-7});
    EXPECT_EQ(data, &fx);  // the default chunk writes no data pointer
    EXPECT_EQ(fx.dispatcher(effSetChunk, 0, 10, &fx, 0.0f), std::intptr_t{-7});
}

TEST(CoreDispatch, SetUpRequestsStoreWhatTheyCarry) {
    ProbeEffect fx;
    EXPECT_EQ(fx.rate(), 44100.0f);
    EXPECT_EQ(fx.block(), 1024);
    fx.dispatcher(effSetSampleRate, 0, 22050, nullptr, 88200.0f);
    fx.dispatcher(effSetBlockSize, 0, (std::intptr_t{5} << 32) + 64, nullptr, 0.0f);
    fx.dispatcher(effSetProgram, 0, 3, nullptr, 0.0f);
    EXPECT_EQ(fx.rate(), 88200.0f);
    EXPECT_EQ(fx.block(), 64);
    EXPECT_EQ(fx.program(), 3);
    // Rates that would make every later sample NaN are ignored.
    for (float bad : {0.0f, -1.0f, NAN, INFINITY, -INFINITY}) fx.dispatcher(effSetSampleRate, 0, 0, nullptr, bad);
    EXPECT_EQ(fx.rate(), 88200.0f);
}

TEST(CoreDispatch, TextRequestsWriteOneNulOrNothingWithoutABuffer) {
    ProbeEffect fx;
    for (std::int32_t opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        char buffer[16];
        std::memset(buffer, 0x7F, sizeof buffer);
        EXPECT_EQ(fx.dispatcher(opcode, 0, 0, buffer, 0.0f), 0);
        EXPECT_EQ(buffer[0], '\0') << opcode;
        for (std::size_t i = 1; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x7F) << opcode << " byte " << i;
        fx.calls.clear();
        EXPECT_EQ(fx.dispatcher(opcode, 0, 0, nullptr, 0.0f), 0);
        EXPECT_TRUE(fx.calls.empty()) << opcode;
    }
    fx.calls.clear();
    EXPECT_EQ(fx.dispatcher(effSetProgramName, 0, 0, nullptr, 0.0f), 0);
    EXPECT_TRUE(fx.calls.empty());
}

TEST(CoreDispatch, EditorRequestsWithoutAnEditorLeaveThePointerAlone) {
    ProbeEffect fx;
    ERect* rect = reinterpret_cast<ERect*>(&fx);
    EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(&fx));
    EXPECT_EQ(fx.dispatcher(effEditOpen, 0, 0, &rect, 0.0f), 0);
}

TEST(Construction, BaseDefaultsAndFlagSetters) {
    ProbeEffect fx;
    AEffect* e = fx.getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->object, &fx);
    struct Setter {
        void (AudioEffect::*set)(bool);
        std::int32_t bit;
    };
    const Setter setters[] = {{&AudioEffect::canProcessReplacing, effFlagsCanReplacing},
                              {&AudioEffect::canDoubleReplacing, effFlagsCanDoubleReplacing},
                              {&AudioEffect::programsAreChunks, effFlagsProgramChunks},
                              {&AudioEffect::hasVu, effFlagsHasVu},
                              {&AudioEffect::hasClip, effFlagsHasClip},
                              {&AudioEffect::canMono, effFlagsCanMono}};
    for (const Setter& s : setters) {
        const std::int32_t before = e->flags;
        (fx.*s.set)(true);
        EXPECT_EQ(e->flags, before | s.bit);
        (fx.*s.set)(false);
        EXPECT_EQ(e->flags, before & ~s.bit);
        (fx.*s.set)((before & s.bit) != 0);
    }
}

TEST(SetParameterAutomated, TellsTheHostAfterTakingTheValue) {
    static std::vector<std::intptr_t> sent;
    struct Automated : ProbeEffect {
        explicit Automated(audioMasterCallback host) { audioMaster = host; }
        void setParameter(std::int32_t index, float value) override {
            log("setParameter " + std::to_string(index) + " " + std::to_string(value));
        }
    };
    auto host = [](AEffect*, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                   float opt) -> std::intptr_t {
        sent = {opcode, index, value, reinterpret_cast<std::intptr_t>(ptr), static_cast<std::intptr_t>(opt * 4)};
        return 0;
    };
    Automated fx(host);
    fx.setParameterAutomated(2, 0.75f);
    EXPECT_EQ(fx.lastCall(), "setParameter 2 0.750000");
    EXPECT_EQ(sent, (std::vector<std::intptr_t>{audioMasterAutomate, 2, 0, 0, 3}));
    Automated silent(nullptr);
    silent.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(silent.lastCall(), "setParameter 1 0.500000");
}

}  // namespace
