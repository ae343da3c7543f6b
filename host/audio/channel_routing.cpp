#include "channel_routing.h"

#include <algorithm>

#include "host/text/failure.h"

namespace vsthost {

namespace {

std::string count(std::int32_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "input 3", "inputs 3 and 4", "inputs 3 to 6", numbered from 1.
std::string inputNames(const std::vector<std::int32_t>& pins) {
    if (pins.size() == 1) return "input " + std::to_string(pins[0] + 1);
    const bool run = pins.back() - pins.front() + 1 == static_cast<std::int32_t>(pins.size());
    if (pins.size() == 2) return "inputs " + std::to_string(pins[0] + 1) + " and " + std::to_string(pins[1] + 1);
    if (run) return "inputs " + std::to_string(pins.front() + 1) + " to " + std::to_string(pins.back() + 1);
    std::string text = "inputs";
    for (std::size_t i = 0; i < pins.size(); ++i)
        text += (i == 0 ? " " : i + 1 == pins.size() ? " and " : ", ") + std::to_string(pins[i] + 1);
    return text;
}

std::string verb(const std::vector<std::int32_t>& pins) { return pins.size() == 1 ? "gets" : "get"; }

// Feeds `pins` from a file of `channels`: one to one, a mono file into the
// first two; answers the pins left silent.
std::vector<std::int32_t> feed(std::vector<InputFeed>& inputs, const std::vector<std::int32_t>& pins,
                               InputFeed::From from, std::int32_t channels) {
    std::vector<std::int32_t> silent;
    for (std::size_t i = 0; i < pins.size(); ++i) {
        const auto k = static_cast<std::int32_t>(i);
        if (channels == 1 && k < 2)
            inputs[pins[i]] = {from, 0};
        else if (k < channels)
            inputs[pins[i]] = {from, k};
        else
            silent.push_back(pins[i]);
    }
    return silent;
}

}  // namespace

ChannelRouting routeChannels(const InputPins& pins, std::int32_t pluginOutputs, std::int32_t fileChannels,
                             std::int32_t sidechainChannels, std::int32_t wantedOutputs) {
    const auto inputs = static_cast<std::int32_t>(pins.sidechain.size());
    if (inputs < 1 || pluginOutputs < 1)
        throw Failure(FailureKind::plugin, "the plug-in has " + count(inputs, "input", "inputs") + " and " +
                                               count(pluginOutputs, "output", "outputs") +
                                               "; it cannot process a file");
    std::vector<std::int32_t> main;
    std::vector<std::int32_t> side;
    for (std::int32_t i = 0; i < inputs; ++i) (pins.sidechain[i] ? side : main).push_back(i);
    if (main.empty()) std::swap(main, side);

    const auto mains = static_cast<std::int32_t>(main.size());
    if (fileChannels > mains)
        throw Failure(FailureKind::plugin,
                      "the plug-in takes " + count(mains, "main input", "main inputs") + " and the input has " +
                          count(fileChannels, "channel", "channels") +
                          (mains == 1 ? "; give it a mono file"
                                      : "; give it a file of at most " + count(mains, "channel", "channels")));
    if (sidechainChannels > 0 && side.empty())
        throw Failure(FailureKind::usage, "option --sidechain: the plug-in has no side-chain input");
    if (sidechainChannels > static_cast<std::int32_t>(side.size()))
        throw Failure(FailureKind::usage, "option --sidechain: the plug-in's side-chain takes " +
                                              count(static_cast<std::int32_t>(side.size()), "channel", "channels") +
                                              " and the file has " + std::to_string(sidechainChannels));
    if (wantedOutputs > pluginOutputs)
        throw Failure(FailureKind::usage, "option --channels " + std::to_string(wantedOutputs) + ": the plug-in has " +
                                              count(pluginOutputs, "output", "outputs"));

    ChannelRouting routing;
    routing.inputs.assign(static_cast<std::size_t>(inputs), InputFeed{InputFeed::From::silence});
    routing.outputs = wantedOutputs > 0 ? wantedOutputs : pluginOutputs;
    const std::vector<std::int32_t> silentMain = feed(routing.inputs, main, InputFeed::From::main, fileChannels);
    if (!silentMain.empty())
        routing.notes.push_back(inputNames(silentMain) + " of the plug-in " + verb(silentMain) +
                                " silence: the input has " + count(fileChannels, "channel", "channels"));
    if (!side.empty()) {
        const std::vector<std::int32_t> silentSide =
            feed(routing.inputs, side, InputFeed::From::sidechain, sidechainChannels);
        if (sidechainChannels == 0)
            routing.notes.push_back(inputNames(side) + " of the plug-in, taken for a side-chain (" + pins.basis +
                                    "), " + verb(side) + " silence; give it a signal with --sidechain FILE");
        else if (!silentSide.empty())
            routing.notes.push_back(inputNames(silentSide) + " of the plug-in's side-chain " + verb(silentSide) +
                                    " silence: the side-chain file has " +
                                    count(sidechainChannels, "channel", "channels"));
    }
    return routing;
}

}  // namespace vsthost
