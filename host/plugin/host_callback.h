// The host side of the boundary: the callback a plug-in calls with its
// requests, and the answers a host gives. The callback carries no user
// pointer, so each loaded record is mapped back to the object that loaded it.
// Derive and override answer() to watch or change what a plug-in is told.
#pragma once

#include <cstdint>
#include <string>

#include "frame/effect_record.h"
#include "frame/time_info.h"
#include "host/song/transport.h"

namespace vsthost {

class HostCallback {
public:
    HostCallback() = default;
    virtual ~HostCallback();
    HostCallback(const HostCallback&) = delete;
    HostCallback& operator=(const HostCallback&) = delete;

    // The function handed to a plug-in's entry point.
    static std::intptr_t entry(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                               float opt);

    virtual std::intptr_t answer(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                 void* ptr, float opt);

    // The time query reads this clock: a song's, which its owner moves on,
    // or by default the host's own, standing at its start.
    void serve(const Transport& clock) { clock_ = &clock; }
    const Transport& clock() const { return *clock_; }

    double sampleRate = 44100.0;  // as last told to the plug-in
    std::int32_t blockSize = 512;
    bool answersTime = true;  // false: time queries get null, as from a host without a clock
    std::string vendor = "Dravelkint";
    std::string product = "dravelkint";
    std::int32_t vendorVersion = 1000;

    static constexpr std::int32_t kVersion = 2400;

protected:
    VstTimeInfo time{};  // the record handed out for the current block

private:
    Transport idle_;
    const Transport* clock_ = &idle_;

    friend class PluginInstance;
    friend class LoadingScope;
    void attach(const AEffect* effect);
    void detach(const AEffect* effect);
};

}  // namespace vsthost
