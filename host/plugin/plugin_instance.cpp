#include "plugin_instance.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "frame/opcodes.h"
#include "host/text/failure.h"
#include "host_callback.h"
#include "loading_scope.h"
#include "plugin_module.h"
#include "watched_call.h"

namespace vsthost {

namespace {

// Plug-ins often write past the nominal 8 or 24 characters; give them room.
constexpr std::size_t kTextBuffer = 512;

}  // namespace

PluginInstance::PluginInstance(const PluginModule& module, HostCallback& host, CallWatcher* watcher)
    : host_(host), watcher_(watcher) {
    {
        LoadingScope scope(host);
        PluginCall entry{PluginCall::Kind::entry};
        entry.entry = module.entryName();
        WatchedCall call(watcher_, entry);
        effect_ = module.entry()(&HostCallback::entry);
    }
    if (effect_ == nullptr)
        throw Failure(FailureKind::plugin, "plug-in '" + module.path() + "' answered its entry point with no effect");
    if (effect_->magic != kEffectMagic) {
        // Nothing in a record without the magic can be trusted, not even its
        // close request, so it is left alone.
        effect_ = nullptr;
        throw Failure(FailureKind::plugin,
                      "plug-in '" + module.path() + "' handed back a record without the VST 2.4 magic 'VstP'");
    }
    if (effect_->dispatcher == nullptr) {
        effect_ = nullptr;
        throw Failure(FailureKind::plugin, "plug-in '" + module.path() + "' handed back a record with no dispatcher");
    }
    host_.attach(effect_);
    dispatch(effOpen);
}

PluginInstance::~PluginInstance() {
    // A host that wants to hear of a failing close calls shutDown() itself;
    // here, perhaps while unwinding, there is no one left to tell.
    try {
        shutDown();
    } catch (...) {
        try {
            closeAsIs();
        } catch (...) {
        }
    }
}

void PluginInstance::shutDown() {
    if (effect_ == nullptr) return;
    if (processing_) suspend();
    close();
}

void PluginInstance::closeAsIs() {
    if (effect_ != nullptr) close();
}

void PluginInstance::close() {
    // Whatever the close request does, even throw, the record is gone after it.
    const auto forget = [this] {
        host_.detach(effect_);
        effect_ = nullptr;
        processing_ = false;
    };
    try {
        dispatch(effClose);
    } catch (...) {
        forget();
        throw;
    }
    forget();
}

std::intptr_t PluginInstance::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                       float opt) const {
    WatchedCall call(watcher_, {PluginCall::Kind::dispatch, opcode, index, value, ptr, opt});
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(std::int32_t opcode, std::int32_t index) const {
    std::array<char, kTextBuffer> buffer{};
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = '\0';
    return buffer.data();
}

std::string PluginInstance::effectName() const { return text(effGetEffectName, 0); }
std::string PluginInstance::vendor() const { return text(effGetVendorString, 0); }
std::string PluginInstance::product() const { return text(effGetProductString, 0); }
std::int32_t PluginInstance::vendorVersion() const { return static_cast<std::int32_t>(dispatch(effGetVendorVersion)); }
std::int32_t PluginInstance::vstVersion() const { return static_cast<std::int32_t>(dispatch(effGetVstVersion)); }
std::int32_t PluginInstance::category() const { return static_cast<std::int32_t>(dispatch(effGetPlugCategory)); }

void PluginInstance::checkIndex(std::int32_t index) const {
    if (index < 0 || index >= parameterCount())
        throw std::out_of_range("parameter index " + std::to_string(index) + " outside 0 to " +
                                std::to_string(parameterCount() - 1));
}

float PluginInstance::parameter(std::int32_t index) const {
    checkIndex(index);
    return parameterUnchecked(index);
}

void PluginInstance::setParameter(std::int32_t index, float value) {
    checkIndex(index);
    setParameterUnchecked(index, value);
}

float PluginInstance::parameterUnchecked(std::int32_t index) const {
    WatchedCall call(watcher_, {PluginCall::Kind::getParameter, 0, index});
    return effect_->getParameter(effect_, index);
}

void PluginInstance::setParameterUnchecked(std::int32_t index, float value) {
    WatchedCall call(watcher_, {PluginCall::Kind::setParameter, 0, index, 0, nullptr, value});
    effect_->setParameter(effect_, index, value);
}

std::string PluginInstance::parameterName(std::int32_t index) const {
    checkIndex(index);
    return text(effGetParamName, index);
}

std::string PluginInstance::parameterLabel(std::int32_t index) const {
    checkIndex(index);
    return text(effGetParamLabel, index);
}

std::string PluginInstance::parameterDisplay(std::int32_t index) const {
    checkIndex(index);
    return text(effGetParamDisplay, index);
}

void PluginInstance::start(double sampleRate, std::int32_t maxBlockSize) {
    if (processing_) suspend();
    setSampleRate(sampleRate);
    setBlockSize(maxBlockSize);
    resume();
}

void PluginInstance::setSampleRate(double sampleRate) {
    host_.sampleRate = sampleRate;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
}

void PluginInstance::setBlockSize(std::int32_t maxBlockSize) {
    host_.blockSize = maxBlockSize;
    dispatch(effSetBlockSize, 0, maxBlockSize);
}

void PluginInstance::resume() {
    dispatch(effMainsChanged, 0, 1);
    processing_ = true;
}

void PluginInstance::suspend() {
    dispatch(effMainsChanged, 0, 0);
    processing_ = false;
}

void PluginInstance::process(float** inputs, float** outputs, std::int32_t frames) {
    if ((effect_->flags & effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr) {
        WatchedCall call(watcher_,
                         {PluginCall::Kind::processReplacing, 0, 0, 0, nullptr, 0.0f, frames, host_.sampleRate});
        effect_->processReplacing(effect_, inputs, outputs, frames);
        return;
    }
    if (effect_->process == nullptr) throw Failure(FailureKind::plugin, "plug-in has no processing function");
    for (std::int32_t c = 0; c < effect_->numOutputs; ++c) std::fill_n(outputs[c], std::max(frames, 0), 0.0f);
    WatchedCall call(watcher_, {PluginCall::Kind::process, 0, 0, 0, nullptr, 0.0f, frames, host_.sampleRate});
    effect_->process(effect_, inputs, outputs, frames);
}

}  // namespace vsthost
