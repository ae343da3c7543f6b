#include <array>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands.h"
#include "frame/effect_record.h"
#include "render_session.h"

namespace vsthost {

namespace {

struct FlagName {
    std::int32_t bit;
    const char* name;
};

constexpr std::array kFlagNames{
    FlagName{effFlagsHasEditor, "HasEditor"},
    FlagName{effFlagsHasClip, "HasClip"},
    FlagName{effFlagsHasVu, "HasVu"},
    FlagName{effFlagsCanMono, "CanMono"},
    FlagName{effFlagsCanReplacing, "CanReplacing"},
    FlagName{effFlagsProgramChunks, "ProgramChunks"},
    FlagName{effFlagsIsSynth, "IsSynth"},
    FlagName{effFlagsNoSoundInStop, "NoSoundInStop"},
    FlagName{effFlagsExtIsAsync, "ExtIsAsync"},
    FlagName{effFlagsExtHasBuffer, "ExtHasBuffer"},
    FlagName{effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

// The plug-in categories hosts sort their menus by, in answer order.
constexpr std::array<const char*, 12> kCategoryNames{
    "Unknown",     "Effect",          "Synth",       "Analysis",        "Mastering", "Spatializer",
    "Room effect", "Surround effect", "Restoration", "Offline process", "Shell",     "Generator",
};

std::vector<std::string> flagNames(std::int32_t flags) {
    std::vector<std::string> names;
    std::int32_t known = 0;
    for (const FlagName& f : kFlagNames) {
        known |= f.bit;
        if ((flags & f.bit) != 0) names.emplace_back(f.name);
    }
    for (int bit = 0; bit < 32; ++bit) {
        const auto mask = static_cast<std::int32_t>(std::uint32_t{1} << bit);
        if ((flags & mask) != 0 && (known & mask) == 0) names.push_back("bit" + std::to_string(bit));
    }
    return names;
}

std::string categoryName(std::int32_t category) {
    if (category >= 0 && category < static_cast<std::int32_t>(kCategoryNames.size())) return kCategoryNames[category];
    return "category " + std::to_string(category);
}

// The four characters of an identifier, most significant first, with
// unprintable bytes escaped.
std::string fourCharacters(std::int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(static_cast<std::uint32_t>(id) >> shift);
        if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

// The shortest text that reads back as the same float.
std::string floatText(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

struct ParameterRow {
    std::int32_t index;
    std::string name;
    std::string label;
    std::string display;
    float value;
};

std::vector<ParameterRow> parameterRows(const PluginInstance& plugin) {
    std::vector<ParameterRow> rows;
    for (std::int32_t i = 0; i < plugin.parameterCount(); ++i)
        rows.push_back(
            {i, plugin.parameterName(i), plugin.parameterLabel(i), plugin.parameterDisplay(i), plugin.parameter(i)});
    return rows;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text.empty() ? "none" : text;
}

void printJson(const std::string& path, const PluginInstance& plugin) {
    nlohmann::ordered_json info;
    info["path"] = path;
    info["effectName"] = plugin.effectName();
    info["vendor"] = plugin.vendor();
    info["product"] = plugin.product();
    info["vendorVersion"] = plugin.vendorVersion();
    info["uniqueId"] = fourCharacters(plugin.uniqueId());
    info["uniqueIdNumber"] = plugin.uniqueId();
    info["version"] = plugin.version();
    info["vstVersion"] = plugin.vstVersion();
    info["category"] = categoryName(plugin.category());
    info["categoryNumber"] = plugin.category();
    info["inputs"] = plugin.inputs();
    info["outputs"] = plugin.outputs();
    info["programs"] = plugin.programCount();
    info["latency"] = plugin.latency();
    info["flags"] = flagNames(plugin.flags());
    info["parameters"] = nlohmann::ordered_json::array();
    for (const ParameterRow& row : parameterRows(plugin))
        info["parameters"].push_back({{"index", row.index},
                                      {"name", row.name},
                                      {"label", row.label},
                                      {"display", row.display},
                                      {"value", row.value}});
    // Texts from a plug-in need not be valid UTF-8.
    std::puts(info.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
}

void printText(const std::string& path, const PluginInstance& plugin) {
    std::printf("Plug-in        %s\n", path.c_str());
    std::printf("Effect name    %s\n", plugin.effectName().c_str());
    std::printf("Vendor         %s\n", plugin.vendor().c_str());
    std::printf("Product        %s\n", plugin.product().c_str());
    std::printf("Vendor version %d\n", plugin.vendorVersion());
    std::printf("Unique ID      '%s' (0x%08x)\n", fourCharacters(plugin.uniqueId()).c_str(),
                static_cast<unsigned>(plugin.uniqueId()));
    std::printf("Version        %d\n", plugin.version());
    std::printf("VST version    %d\n", plugin.vstVersion());
    std::printf("Category       %s\n", categoryName(plugin.category()).c_str());
    std::printf("Inputs         %d\n", plugin.inputs());
    std::printf("Outputs        %d\n", plugin.outputs());
    std::printf("Programs       %d\n", plugin.programCount());
    std::printf("Latency        %d samples\n", plugin.latency());
    std::printf("Flags          %s\n", joined(flagNames(plugin.flags())).c_str());
    std::printf("Parameters     %d\n", plugin.parameterCount());
    const std::vector<ParameterRow> rows = parameterRows(plugin);
    if (rows.empty()) return;
    std::printf("  %5s  %-24s  %-8s  %-16s  %s\n", "Index", "Name", "Label", "Display", "Value");
    for (const ParameterRow& row : rows)
        std::printf("  %5d  %-24s  %-8s  %-16s  %s\n", row.index, row.name.c_str(), row.label.c_str(),
                    row.display.c_str(), floatText(row.value).c_str());
}

}  // namespace

void runInfo(const InfoCommand& command) {
    const std::string path = resolvePluginPath(command.plugin);
    LoadedPlugin loaded(path);
    applySettings(loaded.instance, command.settings);
    if (command.json)
        printJson(path, loaded.instance);
    else
        printText(path, loaded.instance);
}

}  // namespace vsthost
