// One instance of the plug-in being validated, with its own host, driven
// through the same PluginInstance as a render. Every call into the plug-in
// is announced first (call_in_progress.h), so that a crash or hang can be
// named; heap allocations inside processing and parameter calls can be
// counted; the outputs are filled with a marker before every block, so that
// samples the plug-in never writes can be told apart; and the host's
// transport moves on with every block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frame/effect_record.h"
#include "frame/opcodes.h"
#include "host/plugin/call_recorder.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "test_signals.h"

struct VstEvents;

namespace vsthost {
class PluginModule;
}  // namespace vsthost

namespace vsthost::validate {

// The host a plug-in under test talks to: a plain host with a song clock the
// checks may bend, that also counts the requests the checks ask about.
class ValidatorHost : public HostCallback {
public:
    ValidatorHost() { serve(transport); }

    std::intptr_t answer(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                         float opt) override {
        if (opcode == audioMasterIOChanged) ++ioChanged;
        return HostCallback::answer(effect, opcode, index, value, ptr, opt);
    }
    int ioChanged = 0;
    Transport transport;
};

class PluginUnderTest : private CallRecorder {
public:
    // Calls the entry point and opens the record; throws Failure when no
    // usable record comes back.
    explicit PluginUnderTest(const PluginModule& module);
    // Switches processing off if it is on, then closes.
    ~PluginUnderTest() override;
    PluginUnderTest(const PluginUnderTest&) = delete;
    PluginUnderTest& operator=(const PluginUnderTest&) = delete;

    AEffect* effect() const { return instance->effect(); }
    ValidatorHost& host() { return host_; }
    std::int32_t inputs() const { return instance->inputs(); }
    std::int32_t outputs() const { return instance->outputs(); }
    std::int32_t parameterCount() const { return instance->parameterCount(); }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f) {
        return instance->dispatch(opcode, index, value, ptr, opt);
    }
    // Any index: some checks send ones the plug-in does not have.
    void setParameter(std::int32_t index, float value) { instance->setParameterUnchecked(index, value); }
    float getParameter(std::int32_t index) { return instance->parameterUnchecked(index); }

    void setSampleRate(double rate);
    void setBlockSize(std::int32_t frames) {
        announced = frames;
        instance->setBlockSize(frames);
    }
    void resume() { instance->resume(); }
    void suspend() { instance->suspend(); }
    // Processing off if it was on, sample rate, largest block, processing on.
    void start(double sampleRate, std::int32_t maxBlockSize);
    bool processing() const { return instance->processing(); }
    double sampleRate() const { return sampleRate_; }

    // One block (PluginInstance::process), then the transport moves on.
    void process(ChannelBuffers& inputs, ChannelBuffers& outputs, std::int32_t frames);
    // The same with channel arrays of the caller's, e.g. into a longer buffer.
    void process(float** inputs, float** outputs, std::int32_t frames);
    // One block through the double-precision entry, then the transport moves on.
    void processDouble(double** inputs, double** outputs, std::int32_t frames);

    // Counts heap allocations inside process() and setParameter() from now on.
    void countAllocations(bool on) { countingAllocations = on; }
    std::int64_t allocationsInProcess() const { return inProcess; }
    std::int64_t allocationsInSetParameter() const { return inSetParameter; }

    // Closes at once, without switching processing off first.
    void closeWhileProcessing();

private:
    void calling(const PluginCall& call) override;
    void returned() override;

    ValidatorHost host_;
    double sampleRate_ = 44100.0;
    std::int32_t announced = 0;  // the largest block told, named with every block a crash happens in
    // The calls are recorded when a sequence is (call_sequence.h); the audio
    // of the block being sent goes with its call.
    int sequenceNumber;
    const void* const* blockAudio = nullptr;
    bool countingAllocations = false;
    std::int64_t* counted = nullptr;  // where the call in progress adds its allocations
    std::int64_t inProcess = 0;
    std::int64_t inSetParameter = 0;
    std::unique_ptr<PluginInstance> instance;  // last: closes while the rest still stands
};

}  // namespace vsthost::validate
