// A host callback that any number of threads may share: it answers the
// version, and the time query with a transport of the calling thread's own.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/effect_record.h"
#include "frame/opcodes.h"
#include "frame/time_info.h"

inline thread_local VstTimeInfo soakTime{};

inline std::intptr_t soakCallback(AEffect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return reinterpret_cast<std::intptr_t>(&soakTime);
    return 0;
}

// Processes `blocks` blocks of noise of `frames` frames and answers every
// output sample in order.
inline std::vector<float> processNoise(AEffect* e, std::int32_t blocks, std::int32_t frames, std::uint32_t seed) {
    std::vector<float> in0(static_cast<std::size_t>(frames)), in1(in0.size()), out0(in0.size()), out1(in0.size());
    std::vector<float> all;
    all.reserve(static_cast<std::size_t>(blocks) * in0.size() * 2);
    std::uint32_t s = seed * 2654435761u + 1u;
    soakTime.tempo = 120.0 + seed;
    soakTime.flags = kVstPpqPosValid | kVstTempoValid;
    soakTime.ppqPos = 0.0;
    for (std::int32_t b = 0; b < blocks; ++b) {
        for (std::size_t i = 0; i < in0.size(); ++i) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            in0[i] = static_cast<float>(static_cast<std::int32_t>(s)) / 2147483648.0f;
            in1[i] = -0.5f * in0[i];
        }
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        e->processReplacing(e, inputs, outputs, frames);
        soakTime.ppqPos += frames * soakTime.tempo / 60.0 / 44100.0;
        all.insert(all.end(), out0.begin(), out0.end());
        all.insert(all.end(), out1.begin(), out1.end());
    }
    return all;
}
