#include "pin_layout.h"

#include <algorithm>

namespace vsthost {

std::int32_t InputPins::sidechainCount() const {
    return static_cast<std::int32_t>(std::count(sidechain.begin(), sidechain.end(), true));
}

std::int32_t InputPins::mainCount() const { return static_cast<std::int32_t>(sidechain.size()) - sidechainCount(); }

InputPins pinsByCount(std::int32_t inputs, std::int32_t outputs) {
    inputs = std::max(inputs, 0);
    InputPins pins{std::vector<bool>(static_cast<std::size_t>(inputs), false), ""};
    if (outputs > 0 && inputs > outputs) {
        for (std::int32_t i = outputs; i < inputs; ++i) pins.sidechain[static_cast<std::size_t>(i)] = true;
        pins.basis = "the plug-in has more inputs than outputs";
    }
    return pins;
}

}  // namespace vsthost
