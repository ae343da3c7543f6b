#include "property_table.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/port-props/port-props.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "lilv_node.h"
#include "plugin_world.h"

namespace vsthost {

namespace {

std::optional<PropertyRange> rangeOf(const std::string& uri) {
    const std::pair<const char*, PropertyRange> ranges[] = {
        {LV2_ATOM__Float, PropertyRange::float32}, {LV2_ATOM__Double, PropertyRange::float64},
        {LV2_ATOM__Int, PropertyRange::int32},     {LV2_ATOM__Long, PropertyRange::int64},
        {LV2_ATOM__Bool, PropertyRange::boolean},
    };
    for (const auto& [name, range] : ranges)
        if (uri == name) return range;
    return std::nullopt;
}

std::optional<float> numberOf(const LilvNode* node) {
    if (node == nullptr) return std::nullopt;
    if (lilv_node_is_bool(node)) return lilv_node_as_bool(node) ? 1.0f : 0.0f;
    if (!lilv_node_is_float(node) && !lilv_node_is_int(node)) return std::nullopt;
    const float value = lilv_node_as_float(node);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// The last fragment or segment of the URI: "trim" of "urn:x:plugin#trim".
std::string lastPart(const std::string& uri) {
    const std::size_t at = uri.find_last_of("#/:");
    return at == std::string::npos ? uri : uri.substr(at + 1);
}

class Reader {
public:
    explicit Reader(const Lv2World& world) : world_(world) {}

    LilvNodeOwner get(const LilvNode* subject, const char* predicate) const {
        const LilvNodeOwner p = world_.uri(predicate);
        return LilvNodeOwner(lilv_world_get(world_.world(), subject, p.get(), nullptr));
    }
    bool has(const LilvNode* subject, const char* property) const {
        const LilvNodeOwner p = world_.uri(LV2_CORE__portProperty);
        const LilvNodeOwner o = world_.uri(property);
        return lilv_world_ask(world_.world(), subject, p.get(), o.get());
    }

    std::optional<PropertyInfo> read(const LilvNode* property) const {
        const std::optional<PropertyRange> range = rangeOf(nodeText(get(property, LILV_NS_RDFS "range").get()));
        if (!range) return std::nullopt;
        PropertyInfo info;
        info.uri = nodeText(property);
        info.range = *range;
        PortInfo& c = info.control;
        c.type = PortType::control;
        c.input = true;
        const std::string symbol = nodeText(get(property, LV2_CORE__symbol).get());
        c.symbol = symbol.empty() ? lastPart(info.uri) : symbol;
        const std::string label = nodeText(get(property, LILV_NS_RDFS "label").get());
        c.name = label.empty() ? c.symbol : label;
        c.unit = unitSymbol(world_, get(property, LV2_UNITS__unit).get());
        const bool whole = *range == PropertyRange::int32 || *range == PropertyRange::int64;
        c.toggled = *range == PropertyRange::boolean || has(property, LV2_CORE__toggled);
        c.integer = whole || has(property, LV2_CORE__integer);
        c.enumeration = has(property, LV2_CORE__enumeration);
        c.logarithmic = has(property, LV2_PORT_PROPS__logarithmic);

        const std::optional<float> def = numberOf(get(property, LV2_CORE__default).get());
        std::optional<float> min = numberOf(get(property, LV2_CORE__minimum).get());
        std::optional<float> max = numberOf(get(property, LV2_CORE__maximum).get());
        if (*range == PropertyRange::boolean) {
            min = min.value_or(0.0f);
            max = max.value_or(1.0f);
        }
        // Without a range and a default there is no scale to set it on.
        if (!def || !min || !max || *max < *min) return std::nullopt;
        c.minimum = *min;
        c.maximum = *max;
        c.defaultValue = std::clamp(*def, *min, *max);
        readScalePoints(property, c);
        return info;
    }

    void readScalePoints(const LilvNode* property, PortInfo& c) const {
        const LilvNodeOwner scalePoint = world_.uri(LV2_CORE__scalePoint);
        const LilvNodesOwner points(lilv_world_find_nodes(world_.world(), property, scalePoint.get(), nullptr));
        LILV_FOREACH(nodes, i, points.get()) {
            const LilvNode* point = lilv_nodes_get(points.get(), i);
            const std::optional<float> value = numberOf(get(point, LILV_NS_RDF "value").get());
            if (value) c.scalePoints.push_back({*value, nodeText(get(point, LILV_NS_RDFS "label").get())});
        }
        std::stable_sort(c.scalePoints.begin(), c.scalePoints.end(),
                         [](const ScalePoint& a, const ScalePoint& b) { return a.value < b.value; });
    }

private:
    const Lv2World& world_;
};

}  // namespace

const char* rangeName(PropertyRange range) {
    switch (range) {
        case PropertyRange::float32: return "float";
        case PropertyRange::float64: return "double";
        case PropertyRange::int32: return "int";
        case PropertyRange::int64: return "long";
        case PropertyRange::boolean: break;
    }
    return "bool";
}

double representable(PropertyRange range, double value) {
    // A range read as a float may end past the type's limit: 2147483647 reads as 2^31.
    constexpr double kLongLimit = 9223372036854774784.0;  // the largest double below 2^63
    switch (range) {
        case PropertyRange::float32: return static_cast<float>(value);
        case PropertyRange::float64: return value;
        case PropertyRange::int32:
            return std::clamp(std::round(value), static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                              static_cast<double>(std::numeric_limits<std::int32_t>::max()));
        case PropertyRange::int64: return std::clamp(std::round(value), -kLongLimit, kLongLimit);
        case PropertyRange::boolean: break;
    }
    return value != 0.0 ? 1.0 : 0.0;
}

std::vector<PropertyInfo> readProperties(const Lv2World& world) {
    const Reader reader(world);
    const LilvNodeOwner writable = world.uri(LV2_PATCH__writable);
    const LilvNodesOwner listed(
        lilv_world_find_nodes(world.world(), lilv_plugin_get_uri(world.plugin()), writable.get(), nullptr));
    std::vector<PropertyInfo> properties;
    LILV_FOREACH(nodes, i, listed.get()) {
        const LilvNode* property = lilv_nodes_get(listed.get(), i);
        if (!lilv_node_is_uri(property)) continue;
        if (std::optional<PropertyInfo> info = reader.read(property)) properties.push_back(std::move(*info));
    }
    // lilv lists them in no fixed order; the parameters' indices must not move.
    std::sort(properties.begin(), properties.end(),
              [](const PropertyInfo& a, const PropertyInfo& b) { return a.uri < b.uri; });
    return properties;
}

}  // namespace vsthost
