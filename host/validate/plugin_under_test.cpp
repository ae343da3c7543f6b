#include "plugin_under_test.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "allocation_interposer.h"
#include "call_in_progress.h"
#include "frame/opcodes.h"
#include "opcode_names.h"
#include "plugin_instance.h"
#include "plugin_module.h"

namespace vsthost::validate {

PluginUnderTest::PluginUnderTest(const PluginModule& module) {
    noteCall("VSTPluginMain, then dispatcher(effOpen)");
    instance = std::make_unique<PluginInstance>(module, host_);
    noteCallDone();
    effect_ = instance->effect();
}

PluginUnderTest::~PluginUnderTest() {
    if (!instance) return;
    if (processing_) suspend();
    noteCall("dispatcher(effClose)");
    instance.reset();
    noteCallDone();
}

void PluginUnderTest::closeWhileProcessing() {
    noteCall("dispatcher(effClose) with processing on");
    instance.reset();
    noteCallDone();
}

std::intptr_t PluginUnderTest::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                        float opt) {
    // Only the arguments that are set, so the common calls read short.
    const std::string name = effectOpcodeName(opcode);
    char extra[96] = "";
    int n = 0;
    if (index != 0) n += std::snprintf(extra + n, sizeof extra - n, ", index %d", index);
    if (value != 0) n += std::snprintf(extra + n, sizeof extra - n, ", value %ld", static_cast<long>(value));
    if (ptr != nullptr) n += std::snprintf(extra + n, sizeof extra - n, ", buffer");
    if (opt != 0.0f) std::snprintf(extra + n, sizeof extra - n, ", opt %g", static_cast<double>(opt));
    noteCall("dispatcher(%s%s)", name.c_str(), extra);
    const std::intptr_t answer = effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    noteCallDone();
    return answer;
}

void PluginUnderTest::setParameter(std::int32_t index, float value) {
    noteCall("setParameter(%d, %g)", index, static_cast<double>(value));
    if (countingAllocations) allocations::startCounting();
    effect_->setParameter(effect_, index, value);
    if (countingAllocations) inSetParameter += allocations::stopCounting();
    noteCallDone();
}

float PluginUnderTest::getParameter(std::int32_t index) {
    noteCall("getParameter(%d)", index);
    const float value = effect_->getParameter(effect_, index);
    noteCallDone();
    return value;
}

void PluginUnderTest::setSampleRate(double rate) {
    sampleRate_ = rate;
    host_.transport.setSampleRate(rate);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginUnderTest::setBlockSize(std::int32_t frames) {
    host_.blockSize = frames;
    dispatch(effSetBlockSize, 0, frames);
}

void PluginUnderTest::resume() {
    dispatch(effMainsChanged, 0, 1);
    processing_ = true;
}

void PluginUnderTest::suspend() {
    dispatch(effMainsChanged, 0, 0);
    processing_ = false;
}

void PluginUnderTest::start(double sampleRate, std::int32_t maxBlockSize) {
    if (processing_) suspend();
    setSampleRate(sampleRate);
    setBlockSize(maxBlockSize);
    resume();
}

void PluginUnderTest::process(ChannelBuffers& inputs, ChannelBuffers& outputs, std::int32_t frames) {
    process(inputs.pointers(), outputs.pointers(), frames);
}

void PluginUnderTest::process(float** inputs, float** outputs, std::int32_t frames) {
    const bool replacing = (effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr;
    noteCall("%s(%d frame%s) at %.10g Hz", replacing ? "processReplacing" : "process", frames, frames == 1 ? "" : "s",
             sampleRate_);
    if (!replacing)
        for (std::int32_t c = 0; c < effect_->numOutputs; ++c) std::fill_n(outputs[c], std::max(frames, 0), 0.0f);
    if (countingAllocations) allocations::startCounting();
    if (replacing)
        effect_->processReplacing(effect_, inputs, outputs, frames);
    else if (effect_->process != nullptr)
        effect_->process(effect_, inputs, outputs, frames);
    if (countingAllocations) inProcess += allocations::stopCounting();
    noteCallDone();
    host_.transport.advance(frames);
}

}  // namespace vsthost::validate
