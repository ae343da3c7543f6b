// A host for tests: answers the version and time queries and records every
// call the plug-in makes, so tests can check what crossed the boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "frame/effect_record.h"
#include "frame/time_info.h"

struct HostCall {
    AEffect* effect;
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    // The callback has no user pointer, so one host at a time is the active one.
    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    static std::intptr_t callback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                  void* ptr, float opt);

    std::int64_t count(std::int32_t opcode) const;
    void setTransport(double ppqPos, double tempo, std::int32_t flags);

    std::vector<HostCall> calls;
    std::intptr_t versionAnswer = 2400;
    bool answerTime = true;  // false: the time query is answered with null
    VstTimeInfo time{};
    std::function<std::intptr_t(const HostCall&)> answer;  // other requests; 0 when empty
};
