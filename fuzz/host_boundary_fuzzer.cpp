// Drives one instance through its record the way a careless host might: any
// opcode, index, value and option, parameter writes and reads with any
// float, and processing calls with any block size and any time record
// (or none), through the effect record. Every pointer argument is an ample buffer the host owns; close
// comes last. A crash, a sanitizer report, a text without its NUL or a
// non-finite sample from finite input is a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "frame/audio_effect.h"
#include "frame/effect_record.h"
#include "frame/opcodes.h"
#include "frame/speaker_arrangement.h"
#include "frame/time_info.h"

namespace {

constexpr std::size_t kBuffer = 4096;
constexpr std::int32_t kMaxFrames = 4096;
constexpr unsigned char kUntouched = 0x55;
constexpr float kInputBound = 1.0e6f;

VstTimeInfo timeRecord{};
bool answerTime = true;

std::intptr_t hostCallback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return answerTime ? reinterpret_cast<std::intptr_t>(&timeRecord) : 0;
    return 0;
}

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

float anyFloat(FuzzedDataProvider& in) {
    static const float special[] = {0.0f,
                                    -0.0f,
                                    1.0f,
                                    0.5f,
                                    -1.0f,
                                    2.0f,
                                    1e-45f,
                                    1e-38f,
                                    1e38f,
                                    -1e38f,
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::quiet_NaN(),
                                    44100.0f,
                                    96000.0f,
                                    8000.0f};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: return special[in.ConsumeIntegralInRange<std::size_t>(0, std::size(special) - 1)];
        case 1: return in.ConsumeFloatingPointInRange<float>(-0.5f, 1.5f);
        default: {
            const auto bits = in.ConsumeIntegral<std::uint32_t>();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
    }
}

double anyDouble(FuzzedDataProvider& in) {
    static const double special[] = {0.0,
                                     -0.0,
                                     1.0,
                                     -1.0,
                                     120.0,
                                     1e300,
                                     -1e300,
                                     1e-300,
                                     0.25,
                                     1e9,
                                     -1e9,
                                     1024.5,
                                     300.0,
                                     1e-3,
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN()};
    if (in.ConsumeBool()) return special[in.ConsumeIntegralInRange<std::size_t>(0, std::size(special) - 1)];
    return in.ConsumeFloatingPoint<double>();
}

std::int32_t anyIndex(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-2, 6) : in.ConsumeIntegral<std::int32_t>();
}

// Bound of the text an opcode writes, or 0 when it writes no text.
std::size_t textBound(std::int32_t opcode) {
    switch (opcode) {
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName: return 8;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: return 24;
        default: return 0;
    }
}

void dispatchAny(AEffect* e, FuzzedDataProvider& in) {
    std::int32_t opcode =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(0, 80) : in.ConsumeIntegral<std::int32_t>();
    if (opcode == effClose) opcode = effOpen;  // close only ends the run
    const std::int32_t index = anyIndex(in);
    std::intptr_t value = in.ConsumeIntegral<std::intptr_t>();
    const float option = anyFloat(in);

    // The host's buffer: zeros (null pointers, zero counts), a short text at
    // its start for requests that read one, and marks where texts are written.
    std::vector<unsigned char> buffer(kBuffer, 0);
    const std::string text = in.ConsumeRandomLengthString(64);
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    const std::size_t bound = textBound(opcode);
    if (bound != 0) std::memset(buffer.data(), kUntouched, 256);
    void* ptr = buffer.data();

    VstSpeakerArrangement* inputSlot = nullptr;
    VstSpeakerArrangement* outputSlot = nullptr;
    void* chunkSlot = nullptr;
    if (opcode == effGetSpeakerArrangement) {
        value = reinterpret_cast<std::intptr_t>(&inputSlot);
        ptr = &outputSlot;
    } else if (opcode == effGetChunk) {
        ptr = &chunkSlot;
    } else if (opcode == effSetChunk) {
        value = static_cast<std::intptr_t>(static_cast<std::uintptr_t>(value) % kBuffer);
    }

    e->dispatcher(e, opcode, index, value, ptr, option);

    if (bound != 0) {
        // A name or display of an index outside the table leaves the buffer
        // as the host had it; any text written ends within its bound.
        bool written = false;
        for (std::size_t i = 0; i <= bound; ++i) written = written || buffer[i] != kUntouched;
        if (written)
            require(std::memchr(buffer.data(), 0, bound + 1) != nullptr, "text without its NUL within the bound");
        for (std::size_t i = bound + 1; i < 256; ++i) require(buffer[i] == kUntouched, "text written past its bound");
    }
}

void processAny(AEffect* e, FuzzedDataProvider& in) {
    std::int32_t frames = in.ConsumeIntegralInRange<std::int32_t>(-8, kMaxFrames);
    if (in.ConsumeBool()) frames = in.ConsumeIntegralInRange<std::int32_t>(0, 64);
    answerTime = in.ConsumeIntegralInRange<int>(0, 7) != 0;
    timeRecord.ppqPos = anyDouble(in);
    timeRecord.tempo = anyDouble(in);
    timeRecord.flags = in.ConsumeBool() ? (kVstPpqPosValid | kVstTempoValid) : in.ConsumeIntegral<std::int32_t>();

    // Finite input within a bound; the rest of each channel marks what must not be written.
    static std::vector<float> in0(kMaxFrames), in1(kMaxFrames), out0(kMaxFrames), out1(kMaxFrames);
    const float level = in.ConsumeFloatingPointInRange<float>(0.0f, kInputBound);
    const std::uint32_t seed = in.ConsumeIntegral<std::uint32_t>() | 1u;
    std::uint32_t s = seed;
    for (std::int32_t i = 0; i < kMaxFrames; ++i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        in0[static_cast<std::size_t>(i)] = level * (static_cast<float>(static_cast<std::int32_t>(s)) / 2147483648.0f);
        in1[static_cast<std::size_t>(i)] =
            in.ConsumeBool() ? in0[static_cast<std::size_t>(i)] : -in0[static_cast<std::size_t>(i)];
    }
    const float mark = 12345.0f;
    std::fill(out0.begin(), out0.end(), mark);
    std::fill(out1.begin(), out1.end(), mark);
    float* inputs[2] = {in0.data(), in1.data()};
    float* outputs[2] = {out0.data(), out1.data()};

    const int entry = in.ConsumeIntegralInRange<int>(0, 9);
    if (entry == 0) {
        e->process(e, inputs, outputs, frames);
        return;
    }
    if (entry == 1) {
        static std::vector<double> d0(kMaxFrames), d1(kMaxFrames);
        double* doubles[2] = {d0.data(), d1.data()};
        e->processDoubleReplacing(e, doubles, doubles, frames);
        return;
    }
    e->processReplacing(e, inputs, outputs, frames);
    for (std::int32_t i = 0; i < kMaxFrames; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i < frames) {
            require(std::isfinite(out0[k]) && std::isfinite(out1[k]), "non-finite output from finite input");
        } else {
            require(out0[k] == mark && out1[k] == mark, "output written past the block");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    answerTime = true;
    // What the entry point does, without its second name "main", which is
    // libFuzzer's here.
    AudioEffect* instance = createEffectInstance(hostCallback);
    require(instance != nullptr, "no instance");
    AEffect* e = instance->getAeffect();
    int calls = 0;
    while (in.remaining_bytes() > 0 && calls++ < 64) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: dispatchAny(e, in); break;
            case 1: e->setParameter(e, anyIndex(in), anyFloat(in)); break;
            case 2: (void)e->getParameter(e, anyIndex(in)); break;
            default: processAny(e, in); break;
        }
    }
    require(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f) == 1, "close did not answer 1");
    return 0;
}
