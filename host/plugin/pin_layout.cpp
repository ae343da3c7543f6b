#include "pin_layout.h"

#include <algorithm>
#include <cctype>

#include "frame/opcodes.h"
#include "frame/pin_properties.h"
#include "plugin_instance.h"

namespace vsthost {

namespace {

// Lower-case words of a label, split at anything but letters and digits.
std::vector<std::string> words(const std::string& label) {
    std::vector<std::string> out;
    std::string word;
    for (char c : label) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            out.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

}  // namespace

std::int32_t InputPins::sidechainCount() const {
    return static_cast<std::int32_t>(std::count(sidechain.begin(), sidechain.end(), true));
}

std::int32_t InputPins::mainCount() const { return static_cast<std::int32_t>(sidechain.size()) - sidechainCount(); }

bool namesSidechain(const std::string& label) {
    const std::vector<std::string> w = words(label);
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (w[i] == "sidechain" || w[i] == "sc" || w[i] == "key") return true;
        if (w[i] == "side" && i + 1 < w.size() && w[i + 1] == "chain") return true;
    }
    return false;
}

InputPins inputPins(const PluginInstance& plugin) {
    const std::int32_t inputs = std::max(plugin.inputs(), 0);
    InputPins pins{std::vector<bool>(static_cast<std::size_t>(inputs), false), ""};
    for (std::int32_t i = 0; i < inputs; ++i) {
        VstPinProperties properties{};
        if (plugin.dispatch(effGetInputProperties, i, 0, &properties) == 0) continue;
        properties.label[sizeof properties.label - 1] = '\0';
        if (!namesSidechain(properties.label)) continue;
        pins.sidechain[static_cast<std::size_t>(i)] = true;
        if (pins.basis.empty()) pins.basis = std::string("named '") + properties.label + "' by the plug-in";
    }
    if (pins.basis.empty() && plugin.outputs() > 0 && inputs > plugin.outputs()) {
        for (std::int32_t i = plugin.outputs(); i < inputs; ++i) pins.sidechain[static_cast<std::size_t>(i)] = true;
        pins.basis = "the plug-in has more inputs than outputs and names none";
    }
    return pins;
}

}  // namespace vsthost
