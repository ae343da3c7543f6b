// One instance of the plug-in being validated, with its own host, driven
// through the same plug-in classes as a render: PluginInstance for a VST 2.4
// library, Lv2Plugin for an LV2 plug-in. Every call into the plug-in
// is announced first (call_in_progress.h), so that a crash or hang can be
// named; heap allocations inside processing and parameter calls can be
// counted; the outputs are filled with a marker before every block, so that
// samples the plug-in never writes can be told apart; and the host's
// transport moves on with every block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "catalogue.h"
#include "frame/effect_record.h"
#include "frame/opcodes.h"
#include "host/plugin/call_recorder.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "test_signals.h"

struct VstEvents;

namespace vsthost {
class Lv2Plugin;
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
    // The plug-in the check validates: a VST 2.4 record, opened by calling
    // the entry point (throws Failure when no usable record comes back), or
    // an LV2 plug-in, instantiated when processing first starts.
    explicit PluginUnderTest(const CheckContext& context);
    // Switches processing off if it is on, then closes.
    ~PluginUnderTest() override;
    PluginUnderTest(const PluginUnderTest&) = delete;
    PluginUnderTest& operator=(const PluginUnderTest&) = delete;

    // The plug-in through the interface both formats share.
    Plugin& plugin() const { return *plugin_; }
    // Null for an LV2 plug-in; effect() and dispatch() are for VST 2.4 checks only.
    Lv2Plugin* lv2() const { return lv2_.get(); }
    AEffect* effect() const { return vst().effect(); }
    ValidatorHost& host() { return host_; }
    std::int32_t inputs() const { return plugin_->inputs(); }
    std::int32_t outputs() const { return plugin_->outputs(); }
    std::int32_t parameterCount() const { return plugin_->parameterCount(); }
    std::int32_t latency() const { return plugin_->latency(); }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f) {
        return vst().dispatch(opcode, index, value, ptr, opt);
    }
    // Any index for a VST 2.4 record: some checks send ones the plug-in does
    // not have. An LV2 plug-in has no calls for indices it lacks.
    void setParameter(std::int32_t index, float value);
    float getParameter(std::int32_t index);

    void setSampleRate(double rate);
    void setBlockSize(std::int32_t frames);
    void resume();
    void suspend();
    // Processing off if it was on, sample rate, largest block, processing on.
    void start(double sampleRate, std::int32_t maxBlockSize);
    bool processing() const { return lv2_ ? lv2Processing : instance->processing(); }
    double sampleRate() const { return sampleRate_; }

    // One block (PluginInstance::process), then the transport moves on.
    void process(ChannelBuffers& inputs, ChannelBuffers& outputs, std::int32_t frames);
    // The same with channel arrays of the caller's, e.g. into a longer buffer.
    void process(float** inputs, float** outputs, std::int32_t frames);
    // One block through the double-precision entry, then the transport moves on.
    void processDouble(double** inputs, double** outputs, std::int32_t frames);

    // Counts heap allocations inside process() and setParameter(), and calls
    // that may block inside process(), from now on.
    void countAllocations(bool on) { countingAllocations = on; }
    std::int64_t allocationsInProcess() const { return inProcess; }
    std::int64_t allocationsInSetParameter() const { return inSetParameter; }
    std::int64_t blockingInProcess() const { return blockingInProcess_; }
    // The first call that may block counted, or "".
    const std::string& firstBlocking() const { return firstBlocking_; }

    // Closes at once, without switching processing off first.
    void closeWhileProcessing();

private:
    PluginInstance& vst() const;
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
    bool countingBlocking = false;
    std::int64_t blockingInProcess_ = 0;
    std::string firstBlocking_;
    bool lv2Processing = false;
    // Made just before the instance: each starts the C library's shared random
    // numbers where a fresh process starts them, so that a plug-in drawing
    // from rand() is compared with itself, not with a later stretch of them.
    struct FreshRandomNumbers {
        FreshRandomNumbers();
    } freshRandomNumbers_;
    // Last: closes while the rest still stands. One of the two is set.
    std::unique_ptr<PluginInstance> instance;
    std::unique_ptr<Lv2Plugin> lv2_;
    Plugin* plugin_;
};

}  // namespace vsthost::validate
