#include <array>
#include <string>
#include <vector>

#include "frame/record_names.h"
#include "plugin_instance.h"

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

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : ", ") + w;
    return text.empty() ? "none" : text;
}

InfoField numberField(const char* label, const char* key, std::int32_t value) {
    return {label, key, value, std::to_string(value)};
}

}  // namespace

PluginFacts PluginInstance::facts() const {
    PluginFacts facts;
    const std::string name = effectName();
    const std::string maker = vendor();
    const std::string made = product();
    const std::int32_t id = uniqueId();
    char idText[32];
    std::snprintf(idText, sizeof idText, "(0x%08x)", static_cast<unsigned>(id));
    const std::int32_t kind = category();
    facts.identity = {
        {"Effect name", "effectName", name, name},
        {"Vendor", "vendor", maker, maker},
        {"Product", "product", made, made},
        numberField("Vendor version", "vendorVersion", vendorVersion()),
        {"Unique ID", "uniqueId", fourCharText(id), "'" + fourCharText(id) + "' " + idText},
        {"", "uniqueIdNumber", id, ""},
        numberField("Version", "version", version()),
        numberField("VST version", "vstVersion", vstVersion()),
        {"Category", "category", categoryName(kind), categoryName(kind)},
        {"", "categoryNumber", kind, ""},
    };
    facts.layout = {numberField("Programs", "programs", programCount())};
    const std::vector<std::string> flagNames = effectFlagNames(flags());
    facts.traits = {{"Flags", "flags", flagNames, joined(flagNames)}};
    return facts;
}

InputPins PluginInstance::inputPins() const { return pinsByCount(inputs(), outputs()); }

}  // namespace vsthost
