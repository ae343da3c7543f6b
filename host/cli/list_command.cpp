// `dravelkint list`: the installed plug-ins of both formats, LV2 read from
// their descriptions and VST 2.4 opened each in a process of its own.
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "commands.h"
#include "host/plugin/installed_plugin.h"
#include "host/plugin/lv2/lv2_catalogue.h"
#include "host/plugin/vst2_catalogue.h"
#include "host/text/terminal_columns.h"
#include "vst2_survey.h"

namespace vsthost {

namespace {

std::string channelText(const InstalledPlugin& plugin, std::int32_t count) {
    return plugin.problem.empty() ? std::to_string(count) : "-";
}

void printTable(const std::vector<InstalledPlugin>& plugins) {
    std::size_t nameWidth = 4;
    for (const InstalledPlugin& plugin : plugins) nameWidth = std::max(nameWidth, columnsOf(plugin.name));
    std::printf("%-8s %s  %3s %4s  %s\n", "Format", padded("Name", nameWidth).c_str(), "In", "Out", "URI or path");
    std::size_t unread = 0;
    for (const InstalledPlugin& plugin : plugins) {
        std::string where = plugin.location;
        if (!plugin.problem.empty()) {
            where += "  (" + plugin.problem + ")";
            ++unread;
        }
        std::printf("%-8s %s  %3s %4s  %s\n", plugin.format.c_str(), padded(plugin.name, nameWidth).c_str(),
                    channelText(plugin, plugin.inputs).c_str(), channelText(plugin, plugin.outputs).c_str(),
                    where.c_str());
    }
    std::printf("%zu plug-in%s", plugins.size(), plugins.size() == 1 ? "" : "s");
    if (unread > 0) std::printf(", %zu of them could not be opened", unread);
    std::printf("\n");
}

void printJson(const std::vector<InstalledPlugin>& plugins) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const InstalledPlugin& plugin : plugins) {
        nlohmann::ordered_json entry;
        entry["format"] = plugin.format;
        entry["name"] = plugin.name;
        entry[plugin.format == "LV2" ? "uri" : "path"] = plugin.location;
        entry["inputs"] = plugin.problem.empty() ? nlohmann::ordered_json(plugin.inputs) : nullptr;
        entry["outputs"] = plugin.problem.empty() ? nlohmann::ordered_json(plugin.outputs) : nullptr;
        if (!plugin.problem.empty()) entry["problem"] = plugin.problem;
        list.push_back(std::move(entry));
    }
    std::puts(list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
}

}  // namespace

void runList(const ListCommand& command) {
    if (command.describe) describeForSurvey(*command.describe);
    std::vector<InstalledPlugin> plugins;
    if (command.format != ListCommand::Format::vst2) plugins = installedLv2Plugins();
    if (command.format != ListCommand::Format::lv2) {
        std::vector<InstalledPlugin> vst2 = surveyVst2Libraries(vst2Libraries(vst2Folders()));
        plugins.insert(plugins.end(), vst2.begin(), vst2.end());
    }
    std::sort(plugins.begin(), plugins.end(), [](const InstalledPlugin& a, const InstalledPlugin& b) {
        return std::tie(a.format, a.name, a.location) < std::tie(b.format, b.name, b.location);
    });
    if (command.json)
        printJson(plugins);
    else
        printTable(plugins);
}

}  // namespace vsthost
