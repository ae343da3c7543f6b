#include <sndfile.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "host/audio/audio_file_reader.h"
#include "host/audio/audio_format.h"
#include "host/plugin/channel_buffers.h"
#include "host/plugin/display_value.h"
#include "host/plugin/plugin.h"
#include "host/plugin/plugin_location.h"
#include "host/text/counted.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/terminal_columns.h"
#include "host/text/trimmed.h"
#include "parameter_settings.h"
#include "plugin_session.h"

namespace vsthost {

namespace {

std::string tagName(int tag) {
    switch (tag) {
        case SF_STR_TITLE: return "Title";
        case SF_STR_COPYRIGHT: return "Copyright";
        case SF_STR_SOFTWARE: return "Software";
        case SF_STR_ARTIST: return "Artist";
        case SF_STR_COMMENT: return "Comment";
        case SF_STR_DATE: return "Date";
        case SF_STR_ALBUM: return "Album";
        case SF_STR_LICENSE: return "License";
        case SF_STR_TRACKNUMBER: return "Track";
        case SF_STR_GENRE: return "Genre";
        default: return "Tag " + std::to_string(tag);
    }
}

// What a plug-in says of its delay once it runs, which many say only then.
struct Latency {
    std::int32_t opened;
    std::int32_t processing;
};

Latency latencyOf(Plugin& plugin) {
    Latency latency{plugin.latency(), 0};
    constexpr std::int32_t kBlock = 512;
    ChannelBuffers in(plugin.inputs(), kBlock);
    ChannelBuffers out(plugin.outputs(), kBlock);
    plugin.start(44100.0, kBlock);
    plugin.process(in.pointers(), out.pointers(), kBlock);
    latency.processing = plugin.latency();
    plugin.stop();
    return latency;
}

std::string sidechainText(const InputPins& pins) {
    if (pins.sidechainCount() == 0) return "";
    std::string which;
    for (std::size_t i = 0; i < pins.sidechain.size(); ++i)
        if (pins.sidechain[i]) which += (which.empty() ? "" : ", ") + std::to_string(i + 1);
    return " (side-chain: " + which + "; " + pins.basis + ")";
}

// Whether the file begins as an ELF object does: a plug-in to load, whatever
// its name. Anything else may be an audio file given where a plug-in was
// expected.
bool isSharedLibrary(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[4] = {};
    file.read(magic, sizeof magic);
    return file.gcount() == 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

// An audio file given where a plug-in was expected: what it holds.
void describeAudio(const AudioFileReader& audio, bool json) {
    const double seconds = audio.frames() >= 0 ? static_cast<double>(audio.frames()) / audio.sampleRate() : -1.0;
    if (json) {
        nlohmann::ordered_json info;
        info["audioFile"] = audio.path();
        info["format"] = describeFormat(audio.format());
        info["channels"] = audio.channels();
        info["sampleRate"] = audio.sampleRate();
        info["frames"] = audio.frames();
        info["seconds"] = seconds;
        nlohmann::ordered_json tags = nlohmann::ordered_json::object();
        for (const auto& [tag, text] : audio.tags()) tags[tagName(tag)] = text;
        info["tags"] = tags;
        std::puts(info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
        return;
    }
    std::printf("Audio file     %s\n", audio.path().c_str());
    std::printf("Format         %s\n", describeFormat(audio.format()).c_str());
    std::printf("Channels       %d\n", audio.channels());
    std::printf("Sample rate    %g Hz\n", audio.sampleRate());
    if (audio.frames() >= 0)
        std::printf("Length         %s, %.3f s\n", counted(audio.frames(), "frame").c_str(), seconds);
    else
        std::printf("Length         unknown (the file does not record it)\n");
    if (const std::string damage = audio.damage(); !damage.empty()) std::printf("Damage         %s\n", damage.c_str());
    for (const auto& [tag, text] : audio.tags()) std::printf("%s%s\n", padded(tagName(tag), 15).c_str(), text.c_str());
    std::printf("This is an audio file, not a plug-in: render it with dravelkint render %s OUT\n",
                audio.path().c_str());
}

struct ParameterRow {
    std::int32_t index;
    std::string name;
    std::string label;
    std::string display;
    float value;
    std::string range;  // "20 to 20000", or empty where the displays at 0 and 1 are no numbers
};

// What the parameter shows at either end of its normalised range, when both
// ends show a number; the parameter is left as it was.
std::string rangeOf(Plugin& plugin, std::int32_t index) {
    const float value = plugin.parameter(index);
    plugin.setParameter(index, 0.0f);
    const std::string low = trimmed(plugin.parameterDisplay(index));
    plugin.setParameter(index, 1.0f);
    const std::string high = trimmed(plugin.parameterDisplay(index));
    plugin.setParameter(index, value);
    if (!parseDisplayValue(low) || !parseDisplayValue(high)) return "";
    return withoutTrailingZeros(low) + " to " + withoutTrailingZeros(high);
}

std::vector<ParameterRow> parameterRows(Plugin& plugin) {
    std::vector<ParameterRow> rows;
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i)
        rows.push_back({i, plugin.parameterName(i), plugin.parameterLabel(i), plugin.parameterDisplay(i),
                        plugin.parameter(i), rangeOf(plugin, i)});
    return rows;
}

void addFields(nlohmann::ordered_json& info, const std::vector<InfoField>& fields) {
    for (const InfoField& field : fields) info[field.key] = field.value;
}

void printJson(const std::string& path, Plugin& plugin, Latency latency, const InputPins& pins) {
    const PluginFacts facts = plugin.facts();
    nlohmann::ordered_json info;
    info["path"] = path;
    info["format"] = plugin.format();
    addFields(info, facts.identity);
    info["inputs"] = plugin.inputs();
    info["outputs"] = plugin.outputs();
    addFields(info, facts.layout);
    info["latency"] = latency.processing;
    info["latencyWhenOpened"] = latency.opened;
    info["sidechainInputs"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < pins.sidechain.size(); ++i)
        if (pins.sidechain[i]) info["sidechainInputs"].push_back(i + 1);
    addFields(info, facts.traits);
    info["parameters"] = nlohmann::ordered_json::array();
    for (const ParameterRow& row : parameterRows(plugin))
        info["parameters"].push_back({{"index", row.index},
                                      {"name", row.name},
                                      {"label", row.label},
                                      {"display", row.display},
                                      {"value", row.value},
                                      {"range", row.range}});
    // Texts from a plug-in need not be valid UTF-8.
    std::puts(info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
}

// "Vendor         Sorpenwalde"; the lines after a text's first under it.
void printFields(const std::vector<InfoField>& fields) {
    for (const InfoField& field : fields) {
        if (field.label.empty()) continue;
        std::string text = field.text;
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 16))
            text.insert(at + 1, std::string(15, ' '));
        std::printf("%s%s\n", padded(field.label, 15).c_str(), text.c_str());
    }
}

void printText(const std::string& path, Plugin& plugin, Latency latency, const InputPins& pins) {
    const PluginFacts facts = plugin.facts();
    std::printf("Plug-in        %s\n", path.c_str());
    std::printf("Format         %s\n", plugin.format().c_str());
    printFields(facts.identity);
    std::printf("Inputs         %d%s\n", plugin.inputs(), sidechainText(pins).c_str());
    std::printf("Outputs        %d\n", plugin.outputs());
    printFields(facts.layout);
    if (latency.opened == latency.processing)
        std::printf("Latency        %s\n", counted(latency.processing, "sample").c_str());
    else
        std::printf("Latency        %s once processing (%d when opened)\n",
                    counted(latency.processing, "sample").c_str(), latency.opened);
    printFields(facts.traits);
    std::printf("Parameters     %d\n", plugin.parameterCount());
    const std::vector<ParameterRow> rows = parameterRows(plugin);
    if (rows.empty()) return;
    // Each column as wide as its widest text.
    std::size_t name = columnsOf("Name");
    std::size_t label = columnsOf("Label");
    std::size_t display = columnsOf("Display");
    std::size_t value = columnsOf("Value");
    for (const ParameterRow& row : rows) {
        name = std::max(name, columnsOf(row.name));
        label = std::max(label, columnsOf(row.label));
        display = std::max(display, columnsOf(row.display));
        value = std::max(value, numberText(row.value).size());
    }
    auto line = [&](const std::string& index, const std::string& n, const std::string& l, const std::string& d,
                    const std::string& v, const std::string& r) {
        std::string text = "  " + std::string(index.size() < 5 ? 5 - index.size() : 0, ' ') + index + "  " +
                           padded(n, name) + "  " + padded(l, label) + "  " + padded(d, display) + "  " +
                           padded(v, value) + "  " + r;
        while (!text.empty() && text.back() == ' ') text.pop_back();
        std::puts(text.c_str());
    };
    line("Index", "Name", "Label", "Display", "Value", "Range");
    for (const ParameterRow& row : rows)
        line(std::to_string(row.index), row.name, row.label, row.display, numberText(row.value), row.range);
}

}  // namespace

void runInfo(const InfoCommand& command) {
    const std::string path = resolvePluginPath(command.plugin);
    if (!isSharedLibrary(path)) {
        std::optional<AudioFileReader> audio;
        try {
            audio.emplace(path);
        } catch (const Failure&) {
            // Named as audio, it is a damaged or unreadable audio file, as
            // render would say; otherwise loading it says what is wrong
            // with it as a plug-in.
            if (containerFor(path)) throw;
        }
        if (audio) {
            if (!command.settings.empty())
                throw Failure(FailureKind::usage, "'" + path + "' is an audio file; --set needs a plug-in");
            describeAudio(*audio, command.json);
            return;
        }
    }
    const Transport still;
    PluginSession session("");
    session.run([&] {
        Plugin& plugin = session.open(path, still);
        applySettings(plugin, command.settings);
        const InputPins pins = plugin.inputPins();
        const Latency latency = latencyOf(plugin);
        if (command.json)
            printJson(path, plugin, latency, pins);
        else
            printText(path, plugin, latency, pins);
        session.close();
    });
}

}  // namespace vsthost
