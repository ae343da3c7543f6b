// Which signal each of a plug-in's inputs gets, and how many of its outputs
// go to the file. A file's channels feed the main inputs one to one, a mono
// file feeds the first two; a side-chain gets its own file or silence; any
// input left over gets silence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin/pin_layout.h"

namespace vsthost {

struct InputFeed {
    enum class From { main, sidechain, silence };
    From from;
    std::int32_t channel = 0;  // of the file it comes from
};

struct ChannelRouting {
    std::vector<InputFeed> inputs;   // one per plug-in input
    std::int32_t outputs = 0;        // the plug-in's first outputs written
    std::vector<std::string> notes;  // what the user should know: inputs given silence
};

// `sidechainChannels` is 0 without a side-chain file, `wantedOutputs` 0 for
// all of the plug-in's outputs. Throws Failure (plugin) for a plug-in that
// cannot be fed from, or written to, a file in this way, and Failure
// (usage) for a --channels or --sidechain it cannot take.
ChannelRouting routeChannels(const InputPins& pins, std::int32_t pluginOutputs, std::int32_t fileChannels,
                             std::int32_t sidechainChannels, std::int32_t wantedOutputs);

}  // namespace vsthost
