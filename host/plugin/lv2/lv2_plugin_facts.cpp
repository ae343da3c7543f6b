// What `info` shows of an LV2 plug-in beyond what every format has: its URI,
// author and class, every port with its range, default, unit and labelled
// values, the properties it takes by patch:Set, the features it requires and may use, the extension data it
// offers and its presets.
#include <lv2/core/lv2.h>

#include <string>
#include <vector>

#include "host/text/decimal_number.h"
#include "lv2_plugin.h"

namespace vsthost {

namespace {

std::vector<std::string> texts(const LilvNodes* nodes) {
    std::vector<std::string> list;
    LILV_FOREACH(nodes, i, nodes) list.push_back(nodeText(lilv_nodes_get(nodes, i)));
    return list;
}

std::string joined(const std::vector<std::string>& words, const char* between = ", ") {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : between) + w;
    return text.empty() ? "none" : text;
}

InfoField listField(const char* label, const char* key, const std::vector<std::string>& list) {
    return {label, key, list, joined(list, "\n")};
}

const char* typeName(PortType type) {
    switch (type) {
        case PortType::audio: return "audio";
        case PortType::control: return "control";
        case PortType::cv: return "CV";
        case PortType::atom: return "atom";
        case PortType::other: break;
    }
    return "other";
}

std::vector<std::string> propertiesOf(const PortInfo& port) {
    std::vector<std::string> properties;
    const std::pair<bool, const char*> flags[] = {
        {port.integer, "integer"},
        {port.toggled, "toggled"},
        {port.enumeration, "enumeration"},
        {port.logarithmic, "logarithmic"},
        {port.boundsPerRate, "bounds per sample rate"},
        {port.sidechain, "side-chain"},
        {port.optional, "connection optional"},
        {port.reportsLatency, "latency"},
        {port.supportsPosition, "time:Position"},
        {port.supportsPatch, "patch:Message"},
    };
    for (const auto& [set, name] : flags)
        if (set) properties.emplace_back(name);
    return properties;
}

nlohmann::ordered_json portJson(const PortInfo& port) {
    nlohmann::ordered_json json{{"index", port.index},
                                {"symbol", port.symbol},
                                {"name", port.name},
                                {"type", port.type == PortType::other ? port.typeUri : typeName(port.type)},
                                {"direction", port.input ? "input" : "output"}};
    if (port.type == PortType::control) {
        json["minimum"] = port.minimum;
        json["maximum"] = port.maximum;
        json["default"] = port.defaultValue;
        json["unit"] = port.unit;
    }
    json["properties"] = propertiesOf(port);
    if (!port.designation.empty()) json["designation"] = port.designation;
    if (!port.scalePoints.empty()) {
        json["scalePoints"] = nlohmann::ordered_json::array();
        for (const ScalePoint& p : port.scalePoints)
            json["scalePoints"].push_back({{"value", p.value}, {"label", p.label}});
    }
    return json;
}

// "0  period  Period  control input, 0 to 11, default 6 (integer, enumeration; 0 1/1, 1 1/2)"
std::string portLine(const PortInfo& port) {
    std::string line = std::to_string(port.index) + "  " + port.symbol + "  '" + port.name + "'  " +
                       (port.type == PortType::other ? port.typeUri : typeName(port.type)) +
                       (port.input ? " input" : " output");
    if (port.type == PortType::control) {
        const std::string unit = port.unit.empty() ? "" : " " + port.unit;
        line += ", " + numberText(port.minimum) + " to " + numberText(port.maximum) + unit + ", default " +
                numberText(port.defaultValue);
    }
    std::string extra;
    for (const std::string& p : propertiesOf(port)) extra += (extra.empty() ? "" : ", ") + p;
    std::string points;
    for (const ScalePoint& p : port.scalePoints)
        points += (points.empty() ? "" : ", ") + numberText(p.value) + " " + p.label;
    if (!points.empty()) extra += (extra.empty() ? "" : "; ") + points;
    return extra.empty() ? line : line + " (" + extra + ")";
}

nlohmann::ordered_json propertyJson(const PropertyInfo& property) {
    const PortInfo& c = property.control;
    nlohmann::ordered_json json{
        {"uri", property.uri},  {"symbol", c.symbol},   {"name", c.name},       {"type", rangeName(property.range)},
        {"setBy", "patch:Set"}, {"minimum", c.minimum}, {"maximum", c.maximum}, {"default", c.defaultValue},
        {"unit", c.unit}};
    if (!c.scalePoints.empty()) {
        json["scalePoints"] = nlohmann::ordered_json::array();
        for (const ScalePoint& p : c.scalePoints)
            json["scalePoints"].push_back({{"value", p.value}, {"label", p.label}});
    }
    return json;
}

// "trim  'Trim'  float set by patch:Set, 0 to 1, default 1 (urn:...#trim)"
std::string propertyLine(const PropertyInfo& property) {
    const PortInfo& c = property.control;
    const std::string unit = c.unit.empty() ? "" : " " + c.unit;
    return c.symbol + "  '" + c.name + "'  " + rangeName(property.range) + " set by patch:Set, " +
           numberText(c.minimum) + " to " + numberText(c.maximum) + unit + ", default " + numberText(c.defaultValue) +
           " (" + property.uri + ")";
}

}  // namespace

PluginFacts Lv2Plugin::facts() const {
    const LilvPlugin* plugin = world_->plugin();
    PluginFacts facts;
    const std::string title = name();
    const LilvNodeOwner author(lilv_plugin_get_author_name(plugin));
    const std::string by = author ? nodeText(author.get()) : "";
    const LilvPluginClass* cls = lilv_plugin_get_class(plugin);
    std::string kind = cls != nullptr ? nodeText(lilv_plugin_class_get_label(cls)) : "";
    if (kind.empty() || kind == "Plugin") {
        // A bundle loaded alone lacks the core's classes and their labels:
        // the name of the class it says it is of tells it.
        const LilvNodeOwner type = world_->uri(LILV_NS_RDF "type");
        LilvNodes* types = lilv_world_find_nodes(world_->world(), lilv_plugin_get_uri(plugin), type.get(), nullptr);
        for (const std::string& name : texts(types))
            if (name.rfind(LV2_CORE_PREFIX, 0) == 0 && name != LV2_CORE__Plugin)
                kind = name.substr(std::string(LV2_CORE_PREFIX).size());
        lilv_nodes_free(types);
    }
    facts.identity = {
        {"Name", "name", title, title},
        {"URI", "uri", uri(), uri()},
        {"Author", "author", by, by.empty() ? "not given" : by},
        {"Class", "class", kind, kind},
    };
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    std::string lines;
    for (const PortInfo& port : ports_) {
        ports.push_back(portJson(port));
        lines += (lines.empty() ? "" : "\n") + portLine(port);
    }
    facts.layout = {{"Ports", "ports", ports, lines}};
    // Those that are parameters, after the control ports'.
    nlohmann::ordered_json properties = nlohmann::ordered_json::array();
    lines.clear();
    for (const Property& property : properties_) {
        properties.push_back(propertyJson(property.info));
        lines += (lines.empty() ? "" : "\n") + propertyLine(property.info);
    }
    facts.layout.push_back({properties_.empty() ? "" : "Properties", "properties", properties, lines});
    const LilvNodesOwner required(lilv_plugin_get_required_features(plugin));
    const LilvNodesOwner optional(lilv_plugin_get_optional_features(plugin));
    const LilvNodesOwner extensions(lilv_plugin_get_extension_data(plugin));
    facts.traits = {
        listField("Requires", "requiredFeatures", texts(required.get())),
        listField("May use", "optionalFeatures", texts(optional.get())),
        listField("Extensions", "extensionData", texts(extensions.get())),
        listField("Presets", "presets", presets()),
    };
    return facts;
}

}  // namespace vsthost
