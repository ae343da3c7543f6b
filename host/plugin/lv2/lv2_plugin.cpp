#include "lv2_plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "host/plugin/instance_refused.h"
#include "host/plugin/watched_call.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"

namespace vsthost {

namespace {

// Atom buffers hold a position object many times over; a plug-in may ask
// for more.
constexpr std::uint32_t kAtomCapacity = 8192;

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

Lv2Plugin::Lv2Plugin(const std::string& name, CallWatcher* watcher, const Transport& clock)
    : Lv2Plugin(std::make_shared<const Lv2World>(name), watcher, clock) {}

Lv2Plugin::Lv2Plugin(std::shared_ptr<const Lv2World> world, CallWatcher* watcher, const Transport& clock)
    : world_(std::move(world)),
      watcher_(watcher),
      clock_(clock),
      ports_(readPorts(*world_)),
      work_(watcher),
      features_(map_, work_),
      writer_(map_),
      patch_(map_) {
    checkFeatures();
    sortPorts();
    addProperties();
}

Lv2Plugin::~Lv2Plugin() {
    // A host that wants to hear of a failing close calls shutDown() itself.
    try {
        shutDown();
    } catch (...) {
    }
}

std::string Lv2Plugin::name() const {
    const LilvNodeOwner n(lilv_plugin_get_name(world_->plugin()));
    return n ? nodeText(n.get()) : uri();
}

std::string Lv2Plugin::uri() const { return nodeText(lilv_plugin_get_uri(world_->plugin())); }

void Lv2Plugin::checkFeatures() const {
    const LilvNodesOwner required(lilv_plugin_get_required_features(world_->plugin()));
    std::string missing;
    std::size_t count = 0;
    LILV_FOREACH(nodes, i, required.get()) {
        const std::string feature = nodeText(lilv_nodes_get(required.get(), i));
        if (HostFeatures::provides(feature)) continue;
        missing += (missing.empty() ? "" : ", ") + feature;
        ++count;
    }
    if (count > 0)
        throw Failure(FailureKind::plugin, "LV2 plug-in '" + uri() + "' requires " +
                                               (count == 1 ? "a feature" : "features") +
                                               " this host does not provide: " + missing);
}

void Lv2Plugin::sortPorts() {
    controls_.assign(ports_.size(), 0.0f);
    connected_.assign(ports_.size(), nullptr);
    for (const PortInfo& port : ports_) {
        switch (port.type) {
            case PortType::audio: (port.input ? audioInputs_ : audioOutputs_).push_back(port.index); break;
            case PortType::control:
                controls_[port.index] = port.defaultValue;
                if (!port.input) {
                    if (port.reportsLatency && !latencyPort_) latencyPort_ = port.index;
                    break;
                }
                // Ports that carry the song, the rate or offline running are the host's to fill.
                if (startsWith(port.designation, LV2_TIME_PREFIX) || port.designation == LV2_CORE__freeWheeling ||
                    port.designation == LV2_PARAMETERS__sampleRate) {
                    designated_.push_back(port.index);
                    if (port.designation == LV2_CORE__freeWheeling) controls_[port.index] = 1.0f;
                    break;
                }
                parameters_.push_back({port.index, ControlScale(port)});
                break;
            case PortType::cv:
            case PortType::atom: break;
            case PortType::other:
                if (!port.optional)
                    throw Failure(FailureKind::plugin, "LV2 plug-in '" + uri() + "' has a port '" + port.symbol +
                                                           "' of a type this host " + "cannot feed (" +
                                                           (port.typeUri.empty() ? "none given" : port.typeUri) + ")");
                break;
        }
    }
}

void Lv2Plugin::addProperties() {
    // The port the plug-in designates for control, else the first that takes
    // patch messages; without one its properties cannot be set at all.
    for (const PortInfo& port : ports_) {
        if (port.type != PortType::atom || !port.input) continue;
        const bool control = port.designation == LV2_CORE__control;
        if (control || (port.supportsPatch && !patchPort_)) patchPort_ = port.index;
        if (control) break;
    }
    if (!patchPort_) return;
    for (PropertyInfo& info : readProperties(*world_)) {
        const LV2_URID key = map_.map(info.uri.c_str());
        const double value = info.control.defaultValue;
        properties_.push_back({std::move(info), key, value});
        parameters_.push_back(
            {0, ControlScale(properties_.back().info.control), static_cast<std::int32_t>(properties_.size() - 1)});
    }
}

InputPins Lv2Plugin::inputPins() const {
    InputPins pins;
    for (std::uint32_t port : audioInputs_) pins.sidechain.push_back(ports_[port].sidechain);
    if (pins.sidechainCount() > 0) pins.basis = "the plug-in marks them as side-chains";
    return pins;
}

std::int32_t Lv2Plugin::latency() const {
    if (!latencyPort_) return 0;
    const float reported = controls_[*latencyPort_];
    if (!std::isfinite(reported)) return 0;
    // Past the largest count of frames the render can compensate is as good as any.
    const double frames = std::clamp(std::round(static_cast<double>(reported)), -1.0,
                                     static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(frames);
}

const Lv2Plugin::Parameter& Lv2Plugin::parameterAt(std::int32_t index) const {
    if (index < 0 || index >= parameterCount())
        throw std::out_of_range("parameter index " + std::to_string(index) + " outside 0 to " +
                                std::to_string(parameterCount() - 1));
    return parameters_[static_cast<std::size_t>(index)];
}

const PortInfo& Lv2Plugin::describing(const Parameter& p) const {
    return p.property < 0 ? ports_[p.port] : properties_[static_cast<std::size_t>(p.property)].info.control;
}

double Lv2Plugin::valueOf(const Parameter& p) const {
    return p.property < 0 ? controls_[p.port] : properties_[static_cast<std::size_t>(p.property)].value;
}

void Lv2Plugin::store(const Parameter& p, double value) {
    if (p.property < 0) {
        controls_[p.port] = static_cast<float>(value);
        return;
    }
    Property& property = properties_[static_cast<std::size_t>(p.property)];
    // As the atom of its range carries it, so that reading it back answers
    // what the plug-in was told.
    value = representable(property.info.range, value);
    property.value = value;
    property.given = true;
    property.pending = true;
}

float Lv2Plugin::parameter(std::int32_t index) const {
    const Parameter& p = parameterAt(index);
    p.readFrom = valueOf(p);
    p.readAs = p.scale.normalised(static_cast<float>(p.readFrom));
    return p.readAs;
}

void Lv2Plugin::setParameter(std::int32_t index, float value) {
    const Parameter& p = parameterAt(index);
    if (std::isnan(value)) return;
    store(p, value == p.readAs ? p.readFrom : p.scale.value(value));
}

std::string Lv2Plugin::parameterName(std::int32_t index) const { return describing(parameterAt(index)).name; }

std::string Lv2Plugin::parameterLabel(std::int32_t index) const { return describing(parameterAt(index)).unit; }

std::string Lv2Plugin::parameterSymbol(std::int32_t index) const { return describing(parameterAt(index)).symbol; }

std::string Lv2Plugin::parameterDisplay(std::int32_t index) const {
    const Parameter& p = parameterAt(index);
    return p.scale.display(static_cast<float>(valueOf(p)));
}

bool Lv2Plugin::takesParameterValue(std::int32_t index, double value) const {
    return parameterAt(index).scale.takes(value);
}

std::pair<double, double> Lv2Plugin::parameterRange(std::int32_t index) const {
    const Parameter& p = parameterAt(index);
    return {p.scale.value(0.0f), p.scale.value(1.0f)};
}

bool Lv2Plugin::setParameterValue(std::int32_t index, double value) {
    const Parameter& p = parameterAt(index);
    if (!p.scale.takes(value)) return false;
    store(p, value);
    return true;
}

LV2_Handle Lv2Plugin::handle() const { return instance_ != nullptr ? lilv_instance_get_handle(instance_) : nullptr; }

const LV2_Descriptor* Lv2Plugin::descriptor() const {
    return instance_ != nullptr ? lilv_instance_get_descriptor(instance_) : nullptr;
}

std::optional<std::int32_t> Lv2Plugin::parameterOfPort(std::uint32_t port) const {
    for (std::size_t i = 0; i < parameters_.size(); ++i)
        if (parameters_[i].property < 0 && parameters_[i].port == port) return static_cast<std::int32_t>(i);
    return std::nullopt;
}

void Lv2Plugin::prepare(double sampleRate, std::int32_t maxBlockSize) {
    if (instance_ != nullptr && (sampleRate != sampleRate_ || maxBlockSize > maxBlock_)) freeInstance();
    if (instance_ == nullptr) instantiate(sampleRate, maxBlockSize);
}

void Lv2Plugin::start(double sampleRate, std::int32_t maxBlockSize) {
    prepare(sampleRate, maxBlockSize);
    stop();
    WatchedCall call(watcher_, "activate");
    lilv_instance_activate(instance_);
    active_ = true;
}

void Lv2Plugin::stop() {
    if (!active_) return;
    active_ = false;
    WatchedCall call(watcher_, "deactivate");
    lilv_instance_deactivate(instance_);
}

void Lv2Plugin::shutDown() {
    freeInstance();
    work_.attach(nullptr, nullptr);
}

void Lv2Plugin::freeInstance() {
    if (instance_ == nullptr) return;
    // Whatever cleanup does, even throw, the instance is gone after it.
    LilvInstance* instance = instance_;
    instance_ = nullptr;
    work_.attach(nullptr, nullptr);
    if (active_) {
        active_ = false;
        WatchedCall call(watcher_, "deactivate");
        lilv_instance_deactivate(instance);
    }
    WatchedCall call(watcher_, "cleanup");
    lilv_instance_free(instance);
}

void Lv2Plugin::scaleBoundsTo(double sampleRate) {
    // Values already set stay as they are, within the bounds at this rate.
    for (PortInfo& port : ports_) {
        if (!port.boundsPerRate) continue;
        scaleBounds(port, sampleRate);
        controls_[port.index] = std::clamp(controls_[port.index], port.minimum, port.maximum);
    }
    for (Parameter& parameter : parameters_)
        if (parameter.property < 0 && ports_[parameter.port].boundsPerRate) {
            parameter.scale = ControlScale(ports_[parameter.port]);
            parameter.readAs = -1.0f;
        }
}

void Lv2Plugin::connect(std::uint32_t port, void* data) {
    WatchedCall call(watcher_, "connect_port");
    lilv_instance_connect_port(instance_, port, data);
}

void Lv2Plugin::instantiate(double sampleRate, std::int32_t maxBlockSize) {
    maxBlock_ = std::max(maxBlockSize, 1);
    sampleRate_ = sampleRate;
    scaleBoundsTo(sampleRate);
    atomCapacity_ = kAtomCapacity;
    for (const PortInfo& port : ports_)
        if (port.type == PortType::atom) atomCapacity_ = std::max(atomCapacity_, (port.minimumSize + 7u) / 8u * 8u);
    features_.setBlocks(sampleRate, maxBlock_, static_cast<std::int32_t>(atomCapacity_));
    {
        WatchedCall call(watcher_, "instantiate");
        instance_ = lilv_plugin_instantiate(world_->plugin(), sampleRate, features_.list());
    }
    if (instance_ == nullptr)
        throw InstanceRefused("LV2 plug-in '" + uri() + "' made no instance at " + numberText(sampleRate) +
                              " Hz with blocks of up to " + std::to_string(maxBlock_) +
                              " frames announced: its instantiate answered nothing");
    const void* worker = nullptr;
    {
        WatchedCall call(watcher_, "extension_data");
        worker = lilv_instance_get_extension_data(instance_, LV2_WORKER__interface);
    }
    work_.attach(static_cast<const LV2_Worker_Interface*>(worker), lilv_instance_get_handle(instance_));

    silence_.assign(static_cast<std::size_t>(maxBlock_), 0.0f);
    const LilvNodeOwner broken = world_->uri(LV2_CORE__inPlaceBroken);
    inPlaceBroken_ = lilv_plugin_has_feature(world_->plugin(), broken.get());
    inputCopies_.assign(inPlaceBroken_ ? audioInputs_.size() : 0, silence_);
    atoms_.clear();
    cvBuffers_.clear();
    writesPosition_ = !designated_.empty();
    for (const PortInfo& port : ports_) {
        switch (port.type) {
            case PortType::audio:
                connected_[port.index] = nullptr;
                // Inputs are never written and outputs are connected anew before every block.
                connect(port.index, silence_.data());
                break;
            case PortType::control:
                if (port.designation == LV2_PARAMETERS__sampleRate)
                    controls_[port.index] = static_cast<float>(sampleRate);
                connect(port.index, &controls_[port.index]);
                break;
            case PortType::cv:
                cvBuffers_.emplace_back(port.index, std::vector<float>(static_cast<std::size_t>(maxBlock_), 0.0f));
                break;
            case PortType::atom:
                atoms_.push_back({port.index, port.input, port.input && port.supportsPosition,
                                  std::vector<std::uint64_t>(atomCapacity_ / 8u, 0)});
                writesPosition_ = writesPosition_ || atoms_.back().position;
                break;
            case PortType::other: connect(port.index, nullptr); break;
        }
    }
    for (auto& [port, buffer] : cvBuffers_) connect(port, buffer.data());
    for (AtomBuffer& atom : atoms_) {
        if (atom.input)
            writer_.writeEmpty(atom.data.data(), atomCapacity_);
        else
            writer_.prepareOutput(atom.data.data(), atomCapacity_);
        connect(atom.port, atom.data.data());
    }

    // The plug-in's own default state first, as its data asks, then a preset loaded before.
    const LilvNodeOwner state = world_->uri(LV2_STATE__state);
    if (lilv_world_ask(world_->world(), lilv_plugin_get_uri(world_->plugin()), state.get(), nullptr)) {
        const StateOwner defaults(
            lilv_state_new_from_world(world_->world(), map_.mapFeature(), lilv_plugin_get_uri(world_->plugin())));
        if (defaults) restore(defaults.get());
    }
    if (preset_) restore(preset_.get());
    work_.runPending(false);
    // A new instance knows only its defaults and the preset.
    for (Property& property : properties_) property.pending = property.given;
}

void Lv2Plugin::restore(const LilvState* state) {
    // Port values are the host's, set when the preset is loaded, so that a
    // later --set keeps its word; the restore gives the plug-in the rest.
    WatchedCall call(watcher_, "state restore");
    lilv_state_restore(state, instance_, nullptr, nullptr, 0, features_.list());
}

void Lv2Plugin::process(float** inputs, float** outputs, std::int32_t frames) {
    if (instance_ == nullptr || !active_) throw std::logic_error("LV2 plug-in processes before it is started");
    if (frames < 0) return;
    if (frames > maxBlock_)
        throw std::invalid_argument("block of " + std::to_string(frames) + " frames past the largest, " +
                                    std::to_string(maxBlock_));
    auto attach = [this](std::uint32_t port, float* data) {
        if (connected_[port] == data) return;
        connect(port, data);
        connected_[port] = data;
    };
    for (std::size_t c = 0; c < audioInputs_.size(); ++c) {
        float* in = inputs[c];
        if (inPlaceBroken_ &&
            std::find(outputs, outputs + audioOutputs_.size(), in) != outputs + audioOutputs_.size()) {
            std::copy_n(in, frames, inputCopies_[c].begin());
            in = inputCopies_[c].data();
        }
        attach(audioInputs_[c], in);
    }
    for (std::size_t c = 0; c < audioOutputs_.size(); ++c) attach(audioOutputs_[c], outputs[c]);

    // A position is a few dozen bytes: sent every block, it spares the
    // plug-in extrapolating, and a plug-in that does gets the host's own
    // position to the bit wherever the two would drift apart.
    if (writesPosition_) {
        const TimePosition position = timePosition(clock_);
        for (AtomBuffer& atom : atoms_)
            if (atom.position) writer_.writePosition(position, atom.data.data(), atomCapacity_);
        for (std::uint32_t port : designated_)
            writer_.designatedValue(ports_[port].designation.c_str(), position, controls_[port]);
    }
    for (AtomBuffer& atom : atoms_) {
        if (atom.position) continue;
        if (atom.input)
            writer_.writeEmpty(atom.data.data(), atomCapacity_);
        else
            writer_.prepareOutput(atom.data.data(), atomCapacity_);
    }
    for (AtomBuffer& atom : atoms_)
        if (patchPort_ && atom.port == *patchPort_) sendProperties(atom.data.data());
    for (auto& [port, buffer] : cvBuffers_)
        if (ports_[port].input) std::fill_n(buffer.begin(), frames, 0.0f);
    {
        WatchedCall call(watcher_, "run", frames, sampleRate_);
        lilv_instance_run(instance_, static_cast<std::uint32_t>(frames));
    }
    work_.runPending(true);
}

void Lv2Plugin::sendProperties(void* buffer) {
    // What does not fit waits for the next block.
    for (Property& property : properties_)
        if (property.pending &&
            patch_.appendSet(buffer, atomCapacity_, property.key, property.info.range, property.value))
            property.pending = false;
}

}  // namespace vsthost
