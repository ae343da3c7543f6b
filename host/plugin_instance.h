// One instance of a plug-in, driven through its record in the order hosts
// use: open at construction, sample rate, block size, processing on, blocks,
// processing off, close at destruction.
#pragma once

#include <cstdint>
#include <string>

#include "frame/effect_record.h"

namespace vsthost {

class HostCallback;
class PluginModule;

class PluginInstance {
public:
    // Calls the entry point with the host's callback and opens the record.
    // Throws Failure (plugin) when no record or a record without the magic
    // comes back.
    PluginInstance(const PluginModule& module, HostCallback& host);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    HostCallback& host() const { return host_; }
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f) const;

    std::int32_t inputs() const { return effect_->numInputs; }
    std::int32_t outputs() const { return effect_->numOutputs; }
    std::int32_t parameterCount() const { return effect_->numParams; }
    std::int32_t programCount() const { return effect_->numPrograms; }
    std::int32_t flags() const { return effect_->flags; }
    std::int32_t uniqueId() const { return effect_->uniqueID; }
    std::int32_t version() const { return effect_->version; }
    std::int32_t latency() const { return effect_->initialDelay; }

    std::string effectName() const;
    std::string vendor() const;
    std::string product() const;
    std::int32_t vendorVersion() const;
    std::int32_t vstVersion() const;
    std::int32_t category() const;

    // Parameter access; an index outside 0 to parameterCount() - 1 throws
    // std::out_of_range. Use effect() to send a plug-in anything else.
    float parameter(std::int32_t index) const;
    void setParameter(std::int32_t index, float value);
    std::string parameterName(std::int32_t index) const;
    std::string parameterLabel(std::int32_t index) const;
    std::string parameterDisplay(std::int32_t index) const;

    // Sets the sample rate and largest block on both sides of the boundary,
    // then switches processing on.
    void start(double sampleRate, std::int32_t maxBlockSize);
    void stop();
    bool processing() const { return processing_; }

    // One block: inputs()/outputs() channel arrays of `frames` samples each.
    // Plug-ins that only accumulate get cleared outputs to add to.
    void process(float** inputs, float** outputs, std::int32_t frames);

private:
    std::string text(std::int32_t opcode, std::int32_t index) const;
    void checkIndex(std::int32_t index) const;

    HostCallback& host_;
    AEffect* effect_ = nullptr;
    bool processing_ = false;
};

}  // namespace vsthost
