// One LV2 plug-in driven through lilv as the render drives any plug-in. Its
// audio ports in order are the channels; its control inputs, but for those
// the host fills itself, are the parameters in index order, followed by its
// numeric patch:writable properties, which the host keeps and sends as
// patch:Set at the start of the block after they change. Every block the
// atom inputs that take time:Position are given the song's position at the
// block's start (others an empty sequence), work it scheduled runs after
// the block, and the latency port is read whenever asked. The instance is
// made when processing first starts, when the sample rate and block length
// its options must carry are known, and made anew if they change.
#pragma once

#include <lilv/lilv.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control_scale.h"
#include "host/plugin/call_watcher.h"
#include "host/plugin/plugin.h"
#include "host_features.h"
#include "patch_writer.h"
#include "plugin_world.h"
#include "port_table.h"
#include "position_writer.h"
#include "property_table.h"
#include "urid_map.h"
#include "work_queue.h"

namespace vsthost {

class Transport;

class Lv2Plugin : public Plugin {
public:
    // Finds the plug-in `name` names (a bundle folder or a URI) and reads
    // its ports. Throws Failure (plugin) for one it cannot find, one that
    // requires a feature this host does not give, and one with a port of a
    // type it cannot feed. The watcher and the clock must outlive it.
    Lv2Plugin(const std::string& name, CallWatcher* watcher, const Transport& clock);
    // The same for the plug-in `world` found, which instances may share:
    // reading every installed bundle's data costs more than making one.
    Lv2Plugin(std::shared_ptr<const Lv2World> world, CallWatcher* watcher, const Transport& clock);
    ~Lv2Plugin() override;
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    std::string format() const override { return "LV2"; }
    std::string name() const override;
    std::string uri() const;
    PluginFacts facts() const override;

    std::int32_t inputs() const override { return static_cast<std::int32_t>(audioInputs_.size()); }
    std::int32_t outputs() const override { return static_cast<std::int32_t>(audioOutputs_.size()); }
    InputPins inputPins() const override;
    std::int32_t latency() const override;

    std::int32_t parameterCount() const override { return static_cast<std::int32_t>(parameters_.size()); }
    float parameter(std::int32_t index) const override;
    void setParameter(std::int32_t index, float value) override;
    std::string parameterName(std::int32_t index) const override;
    std::string parameterLabel(std::int32_t index) const override;
    std::string parameterDisplay(std::int32_t index) const override;
    std::string parameterSymbol(std::int32_t index) const override;
    bool setParameterValue(std::int32_t index, double value) override;
    bool takesParameterValue(std::int32_t index, double value) const override;

    // The lowest and highest value the parameter takes, in its own unit.
    std::pair<double, double> parameterRange(std::int32_t index) const;
    // The value it holds, in its own unit, and whether it is a control port's.
    double parameterValue(std::int32_t index) const { return valueOf(parameterAt(index)); }
    bool parameterIsPort(std::int32_t index) const { return parameterAt(index).property < 0; }
    // Sets the parameter to `value` even outside its range or not finite, as
    // a host that does not keep to the range would: for finding out how the
    // plug-in copes.
    void setParameterValueUnchecked(std::int32_t index, double value) { store(parameterAt(index), value); }

    std::vector<std::string> presets() const override;
    void loadPreset(const std::string& name) override;

    void start(double sampleRate, std::int32_t maxBlockSize) override;
    // An instance for these settings, made but not activated (start does
    // both), as a host scanning its plug-ins makes one.
    void prepare(double sampleRate, std::int32_t maxBlockSize);
    void stop() override;
    // Any block, the empty one too (it runs with 0 frames). Where the plug-in
    // claims lv2:inPlaceBroken, an input given in an output's buffer reaches
    // it through a copy.
    void process(float** inputs, float** outputs, std::int32_t frames) override;
    void shutDown() override;

    // The state a host saves with a session: the state extension's
    // properties and the control inputs, as Turtle text. Only once processing
    // has started, when the instance exists. Throws Failure (plugin) where
    // the plug-in gives none.
    std::string saveState();
    // Restores a state saveState() gave, now and into every instance made
    // from now on; throws Failure (plugin) for text that is no state.
    void restoreState(const std::string& saved);

    // What a UI of the plug-in is given: the map the instance was given, and
    // the instance itself once processing has started (null before).
    UridMap& uridMap() { return map_; }
    LV2_Handle handle() const;
    const LV2_Descriptor* descriptor() const;
    // The parameter a control input port is, if the host does not fill it itself.
    std::optional<std::int32_t> parameterOfPort(std::uint32_t port) const;

private:
    struct Parameter {
        std::uint32_t port;  // for a control port
        ControlScale scale;
        std::int32_t property = -1;  // for a property, its index in properties_
        // The value last read on the normalised scale and what it was read
        // from: written back, it restores the value exactly, as a host that
        // saves and restores a setting expects.
        mutable float readAs = -1.0f;
        mutable double readFrom = 0.0;
    };
    struct Property {
        PropertyInfo info;
        LV2_URID key;
        double value;          // as the plug-in was last told it, or its default
        bool given = false;    // set by the host: told again to every instance made
        bool pending = false;  // to be sent with the next block
    };
    struct AtomBuffer {
        std::uint32_t port;
        bool input;
        bool position;
        std::vector<std::uint64_t> data;  // 64-bit words: atoms are 8-byte aligned
    };
    struct Preset {
        std::string uri;
        std::string label;
    };
    struct StateDeleter {
        void operator()(LilvState* state) const { lilv_state_free(state); }
    };
    using StateOwner = std::unique_ptr<LilvState, StateDeleter>;

    void checkFeatures() const;
    void sortPorts();
    const Parameter& parameterAt(std::int32_t index) const;
    const PortInfo& describing(const Parameter& p) const;
    double valueOf(const Parameter& p) const;
    void store(const Parameter& p, double value);
    void addProperties();
    void sendProperties(void* buffer);
    void takePresetProperties(const LilvNode* preset);
    void instantiate(double sampleRate, std::int32_t maxBlockSize);
    // Ports whose bounds are multiples of the sample rate, set to this one.
    void scaleBoundsTo(double sampleRate);
    void connect(std::uint32_t port, void* data);
    void restore(const LilvState* state);
    void freeInstance();
    const std::vector<Preset>& presetList() const;
    static void setPortValue(const char* symbol, void* self, const void* value, std::uint32_t size, std::uint32_t type);
    static const void* portValue(const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type);

    std::shared_ptr<const Lv2World> world_;
    CallWatcher* watcher_;
    const Transport& clock_;
    std::vector<PortInfo> ports_;
    std::vector<std::uint32_t> audioInputs_;
    std::vector<std::uint32_t> audioOutputs_;
    std::vector<Parameter> parameters_;
    std::vector<Property> properties_;
    std::optional<std::uint32_t> patchPort_;  // the atom input properties are set through
    std::vector<std::uint32_t> designated_;   // control inputs the host fills from the song
    std::optional<std::uint32_t> latencyPort_;
    std::vector<float> controls_;         // by port index
    std::vector<const void*> connected_;  // by port index: what an audio port was last given

    UridMap map_;
    WorkQueue work_;
    HostFeatures features_;
    PositionWriter writer_;
    PatchWriter patch_;
    std::vector<AtomBuffer> atoms_;
    std::vector<std::pair<std::uint32_t, std::vector<float>>> cvBuffers_;
    std::vector<float> silence_;  // audio ports until process() connects them
    bool inPlaceBroken_ = false;
    std::vector<std::vector<float>> inputCopies_;  // by input, where in-place is broken
    std::uint32_t atomCapacity_ = 0;
    bool writesPosition_ = false;

    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    double sampleRate_ = 0.0;
    std::int32_t maxBlock_ = 0;
    StateOwner preset_;  // restored into every instance made
    mutable std::optional<std::vector<Preset>> presets_;
};

}  // namespace vsthost
