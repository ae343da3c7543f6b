#include "recording_host.h"

#include <algorithm>

#include "frame/opcodes.h"

namespace {
RecordingHost* activeHost = nullptr;
}

RecordingHost::RecordingHost() {
    calls.reserve(1 << 16);  // recording must not allocate inside a processing call
    time.sampleRate = 44100.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = kVstPpqPosValid | kVstTempoValid;
    activeHost = this;
}

RecordingHost::~RecordingHost() {
    if (activeHost == this) activeHost = nullptr;
}

std::intptr_t RecordingHost::callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                      void* ptr, float opt) {
    RecordingHost* host = activeHost;
    if (host == nullptr) return 0;
    const HostCall call{effect, opcode, index, value, ptr, opt};
    host->calls.push_back(call);
    if (opcode == audioMasterVersion) return host->versionAnswer;
    if (opcode == audioMasterGetTime) return host->answerTime ? reinterpret_cast<std::intptr_t>(&host->time) : 0;
    return host->answer ? host->answer(call) : 0;
}

std::int64_t RecordingHost::count(std::int32_t opcode) const {
    return std::count_if(calls.begin(), calls.end(), [opcode](const HostCall& c) { return c.opcode == opcode; });
}

void RecordingHost::setTransport(double ppqPos, double tempo, std::int32_t flags) {
    time.ppqPos = ppqPos;
    time.tempo = tempo;
    time.flags = flags;
}
