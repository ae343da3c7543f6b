// A plug-in as the render, the automation and `info` drive it, whatever its
// format: channels, a delay, parameters read and written on a normalised 0
// to 1 scale with the plug-in's own names and displays, and blocks between
// start and stop. Each format implements it once; nothing that renders
// knows which format it drives.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pin_layout.h"

namespace vsthost {

// One line of what `info` shows of a plug-in: "Vendor  Sorpenwalde" in
// text, "vendor": "Sorpenwalde" in JSON. A field without a label is shown
// in JSON only; a text of several lines is shown under its label.
struct InfoField {
    std::string label;
    std::string key;
    nlohmann::ordered_json value;
    std::string text;
};

// What a format tells of a plug-in beyond what every format has, in the
// three places `info` shows it: before its channels, after them, and after
// its delay.
struct PluginFacts {
    std::vector<InfoField> identity;
    std::vector<InfoField> layout;
    std::vector<InfoField> traits;
};

class Plugin {
public:
    virtual ~Plugin() = default;

    // "VST 2.4" or "LV2".
    virtual std::string format() const = 0;
    // The name it gives itself.
    virtual std::string name() const = 0;
    virtual PluginFacts facts() const = 0;

    virtual std::int32_t inputs() const = 0;
    virtual std::int32_t outputs() const = 0;
    // Which inputs take a side-chain, and why.
    virtual InputPins inputPins() const = 0;
    // The delay it reports now, in samples.
    virtual std::int32_t latency() const = 0;

    // Indices run from 0 to parameterCount() - 1; any other throws
    // std::out_of_range.
    virtual std::int32_t parameterCount() const = 0;
    virtual float parameter(std::int32_t index) const = 0;
    virtual void setParameter(std::int32_t index, float value) = 0;
    virtual std::string parameterName(std::int32_t index) const = 0;
    virtual std::string parameterLabel(std::int32_t index) const = 0;
    virtual std::string parameterDisplay(std::int32_t index) const = 0;
    // The parameter's name for scripts, where the format gives one: an LV2
    // port's symbol ("freq1"); empty otherwise.
    virtual std::string parameterSymbol(std::int32_t /*index*/) const { return {}; }
    // Sets the parameter to `value` in its own unit, as the plug-in takes it
    // without a normalised scale between; answers false, leaving it as it
    // was, where the format has no such values or the value is out of range.
    virtual bool setParameterValue(std::int32_t /*index*/, double /*value*/) { return false; }
    // Whether setParameterValue() would take `value`; the parameter is left
    // as it is.
    virtual bool takesParameterValue(std::int32_t /*index*/, double /*value*/) const { return false; }

    // The presets it offers by name, and loading one by its name or URI;
    // throws Failure (usage) listing them for a name it does not offer.
    virtual std::vector<std::string> presets() const { return {}; }
    virtual void loadPreset(const std::string& name);

    // Switches processing off if it is on, sets the rate and the largest
    // block, then switches processing on.
    virtual void start(double sampleRate, std::int32_t maxBlockSize) = 0;
    virtual void stop() = 0;
    // One block: inputs()/outputs() channel arrays of `frames` samples each,
    // at the position of the song its host serves.
    virtual void process(float** inputs, float** outputs, std::int32_t frames) = 0;
    // Switches processing off if it is on and closes; it takes no calls after.
    virtual void shutDown() = 0;
};

}  // namespace vsthost
