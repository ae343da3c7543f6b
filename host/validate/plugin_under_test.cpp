#include "plugin_under_test.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "call_in_progress.h"
#include "frame/record_names.h"
#include "host/allocation/allocation_counter.h"
#include "host/plugin/plugin_module.h"

namespace vsthost::validate {

PluginUnderTest::PluginUnderTest(const PluginModule& module)
    : entryName(module.entryName()),
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
    instance->process(inputs, outputs, frames);
    host_.transport.advance(frames);
}

void PluginUnderTest::processDouble(double** inputs, double** outputs, std::int32_t frames) {
    for (std::int32_t c = 0; c < this->outputs(); ++c)
        std::fill_n(outputs[c], std::max(frames, 0), static_cast<double>(kUnwritten));
    noteCall("processDoubleReplacing(%d frame%s) at %.10g Hz", frames, frames == 1 ? "" : "s", sampleRate_);
    exceptionsAtCall = std::uncaught_exceptions();
    struct Done {
        PluginUnderTest& self;
        ~Done() { self.returned(); }
    } done{*this};
    effect()->processDoubleReplacing(effect(), inputs, outputs, frames);
    host_.transport.advance(frames);
}

void PluginUnderTest::calling(const PluginCall& call) {
    using Kind = PluginCall::Kind;
    exceptionsAtCall = std::uncaught_exceptions();
    switch (call.kind) {
        case Kind::entry: noteCall("%s", entryName); return;
        case Kind::dispatch: {
            // Only the arguments that are set, so the common calls read short.
            char extra[96] = "";
            int n = 0;
            if (call.index != 0) n += std::snprintf(extra + n, sizeof extra - n, ", index %d", call.index);
            if (call.value != 0)
                n += std::snprintf(extra + n, sizeof extra - n, ", value %ld", static_cast<long>(call.value));
            if (call.ptr != nullptr) n += std::snprintf(extra + n, sizeof extra - n, ", buffer");
            if (call.opt != 0.0f) std::snprintf(extra + n, sizeof extra - n, ", opt %g", static_cast<double>(call.opt));
            noteCall("dispatcher(%s%s)", effectOpcodeName(call.opcode).c_str(), extra);
            return;
        }
        case Kind::getParameter: noteCall("getParameter(%d)", call.index); return;
        case Kind::setParameter:
            noteCall("setParameter(%d, %g)", call.index, static_cast<double>(call.opt));
            counted = countingAllocations ? &inSetParameter : nullptr;
            break;
        case Kind::process:
        case Kind::processReplacing:
            noteCall("%s(%d frame%s) at %.10g Hz", call.kind == Kind::processReplacing ? "processReplacing" : "process",
                     call.frames, call.frames == 1 ? "" : "s", sampleRate_);
            counted = countingAllocations ? &inProcess : nullptr;
            break;
    }
    if (counted != nullptr) allocation_counter::start();
}

void PluginUnderTest::returned() {
    if (counted != nullptr) *counted += allocation_counter::stop();
    counted = nullptr;
    // Unwinding out of the plug-in: the exception came from this call.
    if (std::uncaught_exceptions() > exceptionsAtCall) noteCallThrew();
    noteCallDone();
}

}  // namespace vsthost::validate
