#include "port_table.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/time/time.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "lilv_node.h"
#include "plugin_world.h"

namespace vsthost {

namespace {

// Not in every version of the core's header.
constexpr const char* kIsSideChain = LV2_CORE_PREFIX "isSideChain";

// The rate a port's bounds are read at before the host has one of its own.
constexpr double kReadRate = 48000.0;

// The symbols the units vocabulary gives its units, for bundles loaded
// without it.
constexpr std::array<std::pair<const char*, const char*>, 25> kUnitSymbols{{
    {"s", "s"},        {"ms", "ms"},
    {"min", "min"},    {"bar", "bars"},
    {"beat", "beats"}, {"frame", "frames"},
    {"m", "m"},        {"cm", "cm"},
    {"mm", "mm"},      {"km", "km"},
    {"inch", "in"},    {"mile", "mi"},
    {"db", "dB"},      {"pc", "%"},
    {"coef", ""},      {"hz", "Hz"},
    {"khz", "kHz"},    {"mhz", "MHz"},
    {"bpm", "BPM"},    {"oct", "oct"},
    {"cent", "ct"},    {"semitone12TET", "semi"},
    {"degree", "deg"}, {"midiNote", "note"},
    {"unit", ""},
}};

class Reader {
public:
    explicit Reader(const Lv2World& world) : world_(world), plugin_(world.plugin()) {}

    LilvNodeOwner uri(const char* text) const { return world_.uri(text); }

    bool is(const LilvPort* port, const char* cls) const { return lilv_port_is_a(plugin_, port, uri(cls).get()); }
    bool has(const LilvPort* port, const char* property) const {
        return lilv_port_has_property(plugin_, port, uri(property).get());
    }
    // Plug-ins that group their ports mark the side-chain on the group.
    bool inSideChainGroup(const LilvPort* port) const {
        const LilvNodeOwner group = get(port, LV2_PORT_GROUPS__group);
        if (!group) return false;
        const LilvNodeOwner of(
            lilv_world_get(world_.world(), group.get(), uri(LV2_PORT_GROUPS__sideChainOf).get(), nullptr));
        return static_cast<bool>(of);
    }

    LilvNodeOwner get(const LilvPort* port, const char* predicate) const {
        return LilvNodeOwner(lilv_port_get(plugin_, port, uri(predicate).get()));
    }

    std::string unitOf(const LilvPort* port) const { return unitSymbol(world_, get(port, LV2_UNITS__unit).get()); }

    void readControl(const LilvPort* port, PortInfo& info) const {
        LilvNode* def = nullptr;
        LilvNode* min = nullptr;
        LilvNode* max = nullptr;
        lilv_port_get_range(plugin_, port, &def, &min, &max);
        const LilvNodeOwner d(def), lo(min), hi(max);
        info.toggled = has(port, LV2_CORE__toggled);
        info.integer = has(port, LV2_CORE__integer);
        info.enumeration = has(port, LV2_CORE__enumeration);
        info.logarithmic = has(port, LV2_PORT_PROPS__logarithmic);
        auto number = [](const LilvNode* n, float otherwise) {
            if (n == nullptr || !(lilv_node_is_float(n) || lilv_node_is_int(n))) return otherwise;
            const float v = lilv_node_as_float(n);
            return std::isfinite(v) ? v : otherwise;
        };
        info.minimum = number(lo.get(), 0.0f);
        info.maximum = number(hi.get(), info.toggled ? 1.0f : std::max(info.minimum, 1.0f));
        if (info.maximum < info.minimum) std::swap(info.minimum, info.maximum);
        // The default is a value itself, not a multiple of the rate.
        info.boundsPerRate = has(port, LV2_CORE__sampleRate);
        info.minimumPerRate = info.minimum;
        info.maximumPerRate = info.maximum;
        scaleBounds(info, kReadRate);
        info.defaultValue = std::clamp(number(d.get(), info.minimum), info.minimum, info.maximum);
        info.unit = unitOf(port);
        LilvScalePoints* points = lilv_port_get_scale_points(plugin_, port);
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* p = lilv_scale_points_get(points, i);
            const LilvNode* value = lilv_scale_point_get_value(p);
            if (value == nullptr || !(lilv_node_is_float(value) || lilv_node_is_int(value))) continue;
            info.scalePoints.push_back({lilv_node_as_float(value), nodeText(lilv_scale_point_get_label(p))});
        }
        lilv_scale_points_free(points);
        std::stable_sort(info.scalePoints.begin(), info.scalePoints.end(),
                         [](const ScalePoint& a, const ScalePoint& b) { return a.value < b.value; });
    }

    PortInfo read(std::uint32_t index) const {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, index);
        PortInfo info;
        info.index = index;
        info.symbol = nodeText(lilv_port_get_symbol(plugin_, port));
        const LilvNodeOwner name(lilv_port_get_name(plugin_, port));
        info.name = name ? nodeText(name.get()) : info.symbol;
        info.input = is(port, LV2_CORE__InputPort);
        info.optional = has(port, LV2_CORE__connectionOptional);
        info.sidechain = has(port, kIsSideChain) || inSideChainGroup(port);
        info.designation = nodeText(get(port, LV2_CORE__designation).get());
        info.reportsLatency =
            !info.input && (has(port, LV2_CORE__reportsLatency) || info.designation == LV2_CORE__latency);
        if (is(port, LV2_CORE__AudioPort))
            info.type = PortType::audio;
        else if (is(port, LV2_CORE__ControlPort))
            info.type = PortType::control;
        else if (is(port, LV2_CORE__CVPort))
            info.type = PortType::cv;
        else if (is(port, LV2_ATOM__AtomPort))
            info.type = PortType::atom;
        if (info.type == PortType::control) readControl(port, info);
        if (info.type == PortType::atom) {
            info.supportsPosition = lilv_port_supports_event(plugin_, port, uri(LV2_TIME__Position).get());
            info.supportsPatch = lilv_port_supports_event(plugin_, port, uri(LV2_PATCH__Message).get());
            const LilvNodeOwner size = get(port, LV2_RESIZE_PORT__minimumSize);
            if (size && lilv_node_is_int(size.get()) && lilv_node_as_int(size.get()) > 0)
                info.minimumSize = static_cast<std::uint32_t>(lilv_node_as_int(size.get()));
        }
        if (info.type == PortType::other) {
            const LilvNodes* classes = lilv_port_get_classes(plugin_, port);
            LILV_FOREACH(nodes, i, classes) {
                const std::string cls = nodeText(lilv_nodes_get(classes, i));
                if (cls != LV2_CORE__InputPort && cls != LV2_CORE__OutputPort) info.typeUri = cls;
            }
        }
        return info;
    }

private:
    const Lv2World& world_;
    const LilvPlugin* plugin_;
};

}  // namespace

std::string unitSymbol(const Lv2World& world, const LilvNode* unit) {
    if (unit == nullptr) return "";
    if (lilv_node_is_uri(unit)) {
        const std::string text = nodeText(unit);
        const std::string prefix = LV2_UNITS_PREFIX;
        if (text.rfind(prefix, 0) == 0)
            for (const auto& [name, symbol] : kUnitSymbols)
                if (text.substr(prefix.size()) == name) return symbol;
    }
    // A unit of the plug-in's own, with the symbol it gives it.
    const LilvNodeOwner symbol(lilv_world_get(world.world(), unit, world.uri(LV2_UNITS__symbol).get(), nullptr));
    return nodeText(symbol.get());
}

void scaleBounds(PortInfo& port, double rate) {
    if (!port.boundsPerRate) return;
    port.minimum = static_cast<float>(port.minimumPerRate * rate);
    port.maximum = static_cast<float>(port.maximumPerRate * rate);
}

std::vector<PortInfo> readPorts(const Lv2World& world) {
    const Reader reader(world);
    std::vector<PortInfo> ports;
    const std::uint32_t count = lilv_plugin_get_num_ports(world.plugin());
    for (std::uint32_t i = 0; i < count; ++i) ports.push_back(reader.read(i));
    return ports;
}

}  // namespace vsthost
