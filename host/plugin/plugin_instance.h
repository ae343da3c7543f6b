// One instance of a plug-in, driven through its record in the order hosts
// use: open at construction, sample rate, block size, processing on, blocks,
// processing off, close at destruction.
#pragma once

#include <cstdint>
#include <string>

#include "call_watcher.h"
#include "frame/effect_record.h"
#include "plugin.h"

namespace vsthost {

class HostCallback;
class PluginModule;

class PluginInstance : public Plugin {
public:
    // Calls the entry point with the host's callback and opens the record.
    // Throws Failure (plugin) when no record or a record without the magic
    // comes back. A watcher, if given, must outlive the instance.
    PluginInstance(const PluginModule& module, HostCallback& host, CallWatcher* watcher = nullptr);
    ~PluginInstance() override;
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    HostCallback& host() const { return host_; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f) const;

    std::string format() const override { return "VST 2.4"; }
    std::string name() const override { return effectName(); }
    PluginFacts facts() const override;
    std::int32_t inputs() const override { return effect_->numInputs; }
    std::int32_t outputs() const override { return effect_->numOutputs; }
    InputPins inputPins() const override;
    std::int32_t parameterCount() const override { return effect_->numParams; }
    std::int32_t programCount() const { return effect_->numPrograms; }
    std::int32_t flags() const { return effect_->flags; }
    std::int32_t uniqueId() const { return effect_->uniqueID; }
    std::int32_t version() const { return effect_->version; }
    std::int32_t latency() const override { return effect_->initialDelay; }

    std::string effectName() const;
    std::string vendor() const;
    std::string product() const;
    std::int32_t vendorVersion() const;
    std::int32_t vstVersion() const;
    std::int32_t category() const;

    // Parameter access; an index outside 0 to parameterCount() - 1 throws
    // std::out_of_range. Use effect() to send a plug-in anything else.
    float parameter(std::int32_t index) const override;
    void setParameter(std::int32_t index, float value) override;
    std::string parameterName(std::int32_t index) const override;
    std::string parameterLabel(std::int32_t index) const override;
    std::string parameterDisplay(std::int32_t index) const override;
    // Any index, as a careless host sends it; for validators.
    float parameterUnchecked(std::int32_t index) const;
    void setParameterUnchecked(std::int32_t index, float value);

    // Switches processing off if it is on, sets the sample rate and largest
    // block on both sides of the boundary, then switches processing on.
    void start(double sampleRate, std::int32_t maxBlockSize) override;
    void stop() override { suspend(); }
    bool processing() const { return processing_; }
    // The steps of start() one by one, for hosts that test the order.
    void setSampleRate(double sampleRate);
    void setBlockSize(std::int32_t maxBlockSize);
    void resume();   // processing on
    void suspend();  // processing off

    // One block: inputs()/outputs() channel arrays of `frames` samples each,
    // through the replacing entry, or for plug-ins that only accumulate,
    // through the accumulating one into cleared outputs. Throws Failure
    // (plugin) for a record with neither.
    void process(float** inputs, float** outputs, std::int32_t frames) override;

    // Switches processing off if it is on and closes; the instance takes no
    // calls after it. The destructor does the same for an open instance, but
    // cannot pass on what the plug-in throws.
    void shutDown() override;
    // Closes at once, even with processing on, as a careless host does; the
    // instance takes no calls after it.
    void closeAsIs();

private:
    std::string text(std::int32_t opcode, std::int32_t index) const;
    void checkIndex(std::int32_t index) const;

    void close();

    HostCallback& host_;
    CallWatcher* watcher_;
    AEffect* effect_ = nullptr;
    bool processing_ = false;
};

}  // namespace vsthost
