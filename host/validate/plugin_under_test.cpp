#include "plugin_under_test.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "call_in_progress.h"
#include "call_sequence.h"
#include "host/allocation/allocation_counter.h"
#include "host/allocation/blocking_call_counter.h"
#include "host/plugin/lv2/lv2_plugin.h"
#include "host/plugin/plugin_module.h"
#include "host/text/failure.h"

namespace vsthost::validate {

namespace {

// A VST 2.4 record for a check that has a library, else the LV2 plug-in its run names.
std::unique_ptr<PluginInstance> vstFor(const CheckContext& context, HostCallback& host, CallWatcher* watcher) {
    if (context.module == nullptr) return nullptr;
    return std::make_unique<PluginInstance>(*context.module, host, watcher);
}

std::unique_ptr<Lv2Plugin> lv2For(const CheckContext& context, const Transport& clock, CallWatcher* watcher) {
    if (context.module != nullptr) return nullptr;
    if (context.run == nullptr) throw std::logic_error("an LV2 check without the plug-in's name");
    // Read once per process: checks make hundreds of instances, and reading
    // every installed bundle's data costs more than making one.
    static std::shared_ptr<const Lv2World> world;
    static std::string worldOf;
    if (!world || worldOf != context.run->pluginPath) {
        world = std::make_shared<const Lv2World>(context.run->pluginPath);
        worldOf = context.run->pluginPath;
    }
    return std::make_unique<Lv2Plugin>(world, watcher, clock);
}

}  // namespace

PluginUnderTest::PluginUnderTest(const CheckContext& context)
    : CallRecorder(Arguments::whereSet),
      // Only VST 2.4 calls are recorded for a replay.
      sequenceNumber(
          CallSequence::active() != nullptr && context.module != nullptr ? CallSequence::active()->newInstance() : 0),
      instance(vstFor(context, host_, this)),
      lv2_(lv2For(context, host_.transport, this)),
      plugin_(instance ? static_cast<Plugin*>(instance.get()) : lv2_.get()) {}

PluginUnderTest::~PluginUnderTest() = default;

PluginUnderTest::FreshRandomNumbers::FreshRandomNumbers() { std::srand(1); }

PluginInstance& PluginUnderTest::vst() const {
    if (!instance) throw std::logic_error("a VST 2.4 call asked of an LV2 plug-in");
    return *instance;
}

void PluginUnderTest::setParameter(std::int32_t index, float value) {
    if (instance)
        instance->setParameterUnchecked(index, value);
    else if (index >= 0 && index < parameterCount())
        lv2_->setParameter(index, value);
}

float PluginUnderTest::getParameter(std::int32_t index) {
    if (instance) return instance->parameterUnchecked(index);
    return index >= 0 && index < parameterCount() ? lv2_->parameter(index) : 0.0f;
}

void PluginUnderTest::setBlockSize(std::int32_t frames) {
    announced = frames;
    if (instance) instance->setBlockSize(frames);
}

// An LV2 plug-in takes the rate and the largest block when it is made and
// activated, so they reach it here.
void PluginUnderTest::resume() {
    if (instance) return instance->resume();
    lv2_->start(sampleRate_, announced > 0 ? announced : 4096);
    lv2Processing = true;
}

void PluginUnderTest::suspend() {
    if (instance) return instance->suspend();
    lv2_->stop();
    lv2Processing = false;
}

void PluginUnderTest::closeWhileProcessing() {
    noteContext("with processing on");
    vst().closeAsIs();
    noteContext("");
}

void PluginUnderTest::setSampleRate(double rate) {
    sampleRate_ = rate;
    host_.transport.setSampleRate(rate);
    if (instance) instance->setSampleRate(rate);
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
    // Outputs in their inputs' buffers (processing in place) hold the input.
    for (std::int32_t c = 0; c < this->outputs(); ++c)
        if (std::find(inputs, inputs + this->inputs(), outputs[c]) == inputs + this->inputs())
            std::fill_n(outputs[c], std::max(frames, 0), kUnwritten);
    blockAudio = reinterpret_cast<const void* const*>(inputs);
    plugin_->process(inputs, outputs, frames);
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
    const bool block = call.kind == Kind::process || call.kind == Kind::processReplacing ||
                       call.kind == Kind::processDoubleReplacing || call.kind == Kind::run;
    if (block)
        noteCall("%s, announced block %d", inProgress(), static_cast<int>(announced));
    else
        noteCall("%s", inProgress());
    if (call.kind == Kind::setParameter) counted = countingAllocations ? &inSetParameter : nullptr;
    // An LV2 plug-in's run is its audio thread; its worker's calls are not.
    const bool audio = call.kind == Kind::process || call.kind == Kind::processReplacing ||
                       (call.kind == Kind::run && std::string_view(call.entry) == "run");
    if (audio) counted = countingAllocations ? &inProcess : nullptr;
    if (counted != nullptr) allocation_counter::start();
    countingBlocking = audio && countingAllocations;
    if (countingBlocking) blocking_call_counter::start();
}

void PluginUnderTest::returned() {
    if (counted != nullptr) *counted += allocation_counter::stop();
    counted = nullptr;
    // After the allocations stop counting: keeping the name allocates.
    if (countingBlocking) {
        const std::int64_t calls = blocking_call_counter::stop();
        if (calls > 0 && firstBlocking_.empty()) firstBlocking_ = blocking_call_counter::first();
        blockingInProcess_ += calls;
        countingBlocking = false;
    }
    // Unwinding out of the plug-in: the exception came from this call.
    if (unwinding()) noteCallThrew();
    CallRecorder::returned();
    noteCallDone();
}

}  // namespace vsthost::validate
