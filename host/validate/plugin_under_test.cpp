#include "plugin_under_test.h"

#include <algorithm>
#include <string>

#include "call_in_progress.h"
#include "call_sequence.h"
#include "host/allocation/allocation_counter.h"
#include "host/plugin/plugin_module.h"

namespace vsthost::validate {

PluginUnderTest::PluginUnderTest(const PluginModule& module)
    : CallRecorder(Arguments::whereSet),
      sequenceNumber(CallSequence::active() != nullptr ? CallSequence::active()->newInstance() : 0),
      instance(std::make_unique<PluginInstance>(module, host_, static_cast<CallWatcher*>(this))) {}

PluginUnderTest::~PluginUnderTest() = default;

void PluginUnderTest::closeWhileProcessing() {
    noteContext("with processing on");
    instance->closeAsIs();
    noteContext("");
}

void PluginUnderTest::setSampleRate(double rate) {
    sampleRate_ = rate;
    host_.transport.setSampleRate(rate);
    instance->setSampleRate(rate);
}

void PluginUnderTest::start(double sampleRate, std::int32_t maxBlockSize) {
    if (processing()) suspend();
    setSampleRate(sampleRate);
    setBlockSize(maxBlockSize);
    resume();
}

void PluginUnderTest::process(ChannelBuffers& inputs, ChannelBuffers& outputs, std::int32_t frames) {
    process(inputs.pointers(), outputs.pointers(), frames);
}

void PluginUnderTest::process(float** inputs, float** outputs, std::int32_t frames) {
    for (std::int32_t c = 0; c < this->outputs(); ++c) std::fill_n(outputs[c], std::max(frames, 0), kUnwritten);
    blockAudio = reinterpret_cast<const void* const*>(inputs);
    instance->process(inputs, outputs, frames);
    blockAudio = nullptr;
    host_.transport.advance(frames);
}

void PluginUnderTest::processDouble(double** inputs, double** outputs, std::int32_t frames) {
    for (std::int32_t c = 0; c < this->outputs(); ++c)
        std::fill_n(outputs[c], std::max(frames, 0), static_cast<double>(kUnwritten));
    PluginCall call{PluginCall::Kind::processDoubleReplacing};
    call.frames = frames;
    call.sampleRate = sampleRate_;
    blockAudio = reinterpret_cast<const void* const*>(inputs);
    calling(call);
    blockAudio = nullptr;
    struct Done {
        PluginUnderTest& self;
        ~Done() { self.returned(); }
    } done{*this};
    effect()->processDoubleReplacing(effect(), inputs, outputs, frames);
    host_.transport.advance(frames);
}

void PluginUnderTest::calling(const PluginCall& call) {
    using Kind = PluginCall::Kind;
    CallRecorder::calling(call);
    if (sequenceNumber > 0 && CallSequence::active() != nullptr)
        CallSequence::active()->record(sequenceNumber, call, blockAudio != nullptr ? instance->inputs() : 0,
                                       blockAudio);
    // A plug-in that reads the announced block, not the frames given, crashes
    // in the blocks shorter than it: the message names both.
    const bool block =
        call.kind == Kind::process || call.kind == Kind::processReplacing || call.kind == Kind::processDoubleReplacing;
    if (block)
        noteCall("%s, announced block %d", inProgress(), static_cast<int>(announced));
    else
        noteCall("%s", inProgress());
    if (call.kind == Kind::setParameter) counted = countingAllocations ? &inSetParameter : nullptr;
    if (call.kind == Kind::process || call.kind == Kind::processReplacing)
        counted = countingAllocations ? &inProcess : nullptr;
    if (counted != nullptr) allocation_counter::start();
}

void PluginUnderTest::returned() {
    if (counted != nullptr) *counted += allocation_counter::stop();
    counted = nullptr;
    // Unwinding out of the plug-in: the exception came from this call.
    if (unwinding()) noteCallThrew();
    CallRecorder::returned();
    noteCallDone();
}

}  // namespace vsthost::validate
