#include <array>
#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands.h"
#include "frame/record_names.h"
#include "host/text/decimal_number.h"
#include "render_session.h"

namespace vsthost {

namespace {

// The plug-in categories hosts sort their menus by, in answer order.
constexpr std::array<const char*, 12> kCategoryNames{
    "Unknown",     "Effect",          "Synth",       "Analysis",        "Mastering", "Spatializer",
    "Room effect", "Surround effect", "Restoration", "Offline process", "Shell",     "Generator",
};

std::string categoryName(std::int32_t category) {
    if (category >= 0 && category < static_cast<std::int32_t>(kCategoryNames.size())) return kCategoryNames[category];
    return "category " + std::to_string(category);
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
    info["uniqueId"] = fourCharText(plugin.uniqueId());
    info["uniqueIdNumber"] = plugin.uniqueId();
    info["version"] = plugin.version();
    info["vstVersion"] = plugin.vstVersion();
    info["category"] = categoryName(plugin.category());
    info["categoryNumber"] = plugin.category();
    info["inputs"] = plugin.inputs();
    info["outputs"] = plugin.outputs();
    info["programs"] = plugin.programCount();
    info["latency"] = plugin.latency();
    info["flags"] = effectFlagNames(plugin.flags());
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
    std::printf("Unique ID      '%s' (0x%08x)\n", fourCharText(plugin.uniqueId()).c_str(),
                static_cast<unsigned>(plugin.uniqueId()));
    std::printf("Version        %d\n", plugin.version());
    std::printf("VST version    %d\n", plugin.vstVersion());
    std::printf("Category       %s\n", categoryName(plugin.category()).c_str());
    std::printf("Inputs         %d\n", plugin.inputs());
    std::printf("Outputs        %d\n", plugin.outputs());
    std::printf("Programs       %d\n", plugin.programCount());
    std::printf("Latency        %d samples\n", plugin.latency());
    std::printf("Flags          %s\n", joined(effectFlagNames(plugin.flags())).c_str());
    std::printf("Parameters     %d\n", plugin.parameterCount());
    const std::vector<ParameterRow> rows = parameterRows(plugin);
    if (rows.empty()) return;
    std::printf("  %5s  %-24s  %-8s  %-16s  %s\n", "Index", "Name", "Label", "Display", "Value");
    for (const ParameterRow& row : rows)
        std::printf("  %5d  %-24s  %-8s  %-16s  %s\n", row.index, row.name.c_str(), row.label.c_str(),
                    row.display.c_str(), numberText(row.value).c_str());
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
