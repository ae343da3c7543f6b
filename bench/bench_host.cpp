#include "bench_host.h"

#include <stdexcept>

#include "frame/audio_effect.h"
#include "frame/opcodes.h"

namespace {

// The callback has no user pointer; benchmarks run one after another.
BenchHost* activeHost = nullptr;

constexpr double kLoopLength = 256.0;

std::intptr_t callback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime && activeHost != nullptr)
        return reinterpret_cast<std::intptr_t>(&activeHost->time);
    return 0;
}

}  // namespace

BenchHost::BenchHost(float sampleRate, double tempo) {
    activeHost = this;
    time.sampleRate = sampleRate;
    time.tempo = tempo;
    time.flags = kVstPpqPosValid | kVstTempoValid;
    AudioEffect* instance = createEffectInstance(callback);
    if (instance == nullptr) throw std::runtime_error("no instance");
    effect = instance->getAeffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

BenchHost::~BenchHost() {
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    if (activeHost == this) activeHost = nullptr;
}

void BenchHost::process(const float* const* inputs, float* const* outputs, std::int32_t frames) {
    effect->processReplacing(effect, const_cast<float**>(inputs), const_cast<float**>(outputs), frames);
    time.samplePos += frames;
    time.ppqPos += static_cast<double>(frames) * time.tempo / 60.0 / time.sampleRate;
    // A loop of 64 bars keeps every run on the same range of positions.
    if (time.ppqPos >= kLoopLength) time.ppqPos -= kLoopLength;
}

void BenchHost::setParameter(std::int32_t index, float value) { effect->setParameter(effect, index, value); }

StereoBlock::StereoBlock(std::int32_t frames)
    : left(static_cast<std::size_t>(frames)),
      right(static_cast<std::size_t>(frames)),
      channels{left.data(), right.data()} {}

void fillNoise(StereoBlock& block, float amplitude, std::uint32_t seed) {
    std::uint32_t s = seed * 2654435761u + 1u;
    auto next = [&s, amplitude] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return amplitude * (static_cast<float>(static_cast<std::int32_t>(s)) / 2147483648.0f);
    };
    for (std::size_t i = 0; i < block.left.size(); ++i) {
        block.left[i] = next();
        block.right[i] = next();
    }
}
