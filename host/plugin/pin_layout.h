// Which of a plug-in's inputs carry the signal and which a side-chain. The
// plug-in's own pin properties decide where it names a side-chain; a
// plug-in that names none but has more inputs than outputs is taken to
// have its side-chain on the inputs past its outputs, as compressors and
// gates with a key input are built.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

class PluginInstance;

struct InputPins {
    std::vector<bool> sidechain;  // one per input
    // How the side-chain was found: "named 'Sidechain L' by the plug-in",
    // "more inputs than outputs"; empty when there is none.
    std::string basis;

    std::int32_t mainCount() const;
    std::int32_t sidechainCount() const;
};

// Asks the plug-in for the properties of every input.
InputPins inputPins(const PluginInstance& plugin);

// Whether a pin's label names a side-chain ("Sidechain", "Side-chain L",
// "SC In", "Key").
bool namesSidechain(const std::string& label);

}  // namespace vsthost
