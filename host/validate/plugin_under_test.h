// One instance of the plug-in being validated, with its own host. Every call
// into the plug-in is announced first (call_in_progress.h), so that a crash or
// hang can be named, and the host's transport moves on with every block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "channel_buffers.h"
#include "frame/effect_record.h"
#include "host_callback.h"

namespace vsthost {
class PluginInstance;
class PluginModule;
}  // namespace vsthost

namespace vsthost::validate {

class PluginUnderTest {
public:
    // Calls the entry point and opens the record; throws Failure when no
    // usable record comes back.
    explicit PluginUnderTest(const PluginModule& module);
    // Switches processing off if it is on, then closes.
    ~PluginUnderTest();
    PluginUnderTest(const PluginUnderTest&) = delete;
    PluginUnderTest& operator=(const PluginUnderTest&) = delete;

    AEffect* effect() const { return effect_; }
    HostCallback& host() { return host_; }
    std::int32_t inputs() const { return effect_->numInputs; }
    std::int32_t outputs() const { return effect_->numOutputs; }
    std::int32_t parameterCount() const { return effect_->numParams; }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f);
    void setParameter(std::int32_t index, float value);
    float getParameter(std::int32_t index);

    void setSampleRate(double rate);
    void setBlockSize(std::int32_t frames);
    void resume();
    void suspend();
    // Processing off if it was on, sample rate, largest block, processing on.
    void start(double sampleRate, std::int32_t maxBlockSize);
    bool processing() const { return processing_; }
    double sampleRate() const { return sampleRate_; }

    // One block through the replacing entry, or through the accumulating one
    // into cleared outputs for plug-ins without it.
    void process(ChannelBuffers& inputs, ChannelBuffers& outputs, std::int32_t frames);
    // The same with channel arrays of the caller's, e.g. into a longer buffer.
    void process(float** inputs, float** outputs, std::int32_t frames);

    // Counts heap allocations inside process() and setParameter() from now on.
    void countAllocations(bool on) { countingAllocations = on; }
    std::int64_t allocationsInProcess() const { return inProcess; }
    std::int64_t allocationsInSetParameter() const { return inSetParameter; }

    // Closes at once, without switching processing off first.
    void closeWhileProcessing();

private:
    HostCallback host_;
    std::unique_ptr<PluginInstance> instance;
    AEffect* effect_ = nullptr;
    bool processing_ = false;
    double sampleRate_ = 44100.0;
    bool countingAllocations = false;
    std::int64_t inProcess = 0;
    std::int64_t inSetParameter = 0;
};

}  // namespace vsthost::validate
