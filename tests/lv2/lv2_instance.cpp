#include "lv2_instance.h"

#include <lv2/presets/presets.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr const char* kUri = "urn:sorpenwalde:dravelkint";

// The bundle, read once for the whole test program, as a host reads it.
struct Bundle {
    Bundle() {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, DRAVELKINT_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, kUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        if (plugin == nullptr) throw std::runtime_error("lilv finds no " + std::string(kUri));
    }
    ~Bundle() { lilv_world_free(world); }

    std::uint32_t index(const char* symbol) const {
        LilvNode* name = lilv_new_string(world, symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, name);
        lilv_node_free(name);
        if (port == nullptr) throw std::runtime_error(std::string("no port ") + symbol);
        return lilv_port_get_index(plugin, port);
    }

    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
};

const Bundle& bundle() {
    static const Bundle b;
    return b;
}

// Owns a node lilv hands over.
struct Node {
    explicit Node(LilvNode* n) : node(n) {}
    ~Node() { lilv_node_free(node); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    LilvNode* node;
};

}  // namespace

const char* const Lv2Instance::controlSymbols[5] = {"period", "freq1", "freq2", "q", "mix"};

// As a host does: the presets the manifest relates to the plug-in, each
// resource loaded before its port values are read.
std::vector<Lv2Preset> Lv2Instance::presets() {
    LilvWorld* world = bundle().world;
    const Node presetClass{lilv_new_uri(world, LV2_PRESETS__Preset)};
    const Node port{lilv_new_uri(world, LV2_CORE__port)};
    const Node symbol{lilv_new_uri(world, LV2_CORE__symbol)};
    const Node value{lilv_new_uri(world, LV2_PRESETS__value)};
    const Node label{lilv_new_uri(world, LILV_NS_RDFS "label")};
    std::vector<Lv2Preset> found;
    LilvNodes* related = lilv_plugin_get_related(bundle().plugin, presetClass.node);
    LILV_FOREACH(nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(world, preset);
        Lv2Preset p{lilv_node_as_uri(preset), "", {}};
        if (const Node name{lilv_world_get(world, preset, label.node, nullptr)}; name.node != nullptr)
            p.label = lilv_node_as_string(name.node);
        LilvNodes* ports = lilv_world_find_nodes(world, preset, port.node, nullptr);
        LILV_FOREACH(nodes, j, ports) {
            const Node s{lilv_world_get(world, lilv_nodes_get(ports, j), symbol.node, nullptr)};
            const Node v{lilv_world_get(world, lilv_nodes_get(ports, j), value.node, nullptr)};
            if (s.node != nullptr && v.node != nullptr && (lilv_node_is_float(v.node) || lilv_node_is_int(v.node)))
                p.values[lilv_node_as_string(s.node)] = lilv_node_as_float(v.node);
        }
        lilv_nodes_free(ports);
        found.push_back(std::move(p));
    }
    lilv_nodes_free(related);
    return found;
}

std::array<float, 5> Lv2Instance::controlRange(Range which) {
    std::vector<float> ranges[3];
    for (auto& r : ranges) r.resize(lilv_plugin_get_num_ports(bundle().plugin));
    lilv_plugin_get_port_ranges_float(bundle().plugin, ranges[kMinimum].data(), ranges[kMaximum].data(),
                                      ranges[kDefault].data());
    std::array<float, 5> values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = ranges[which][bundle().index(controlSymbols[i])];
    return values;
}

LV2_URID Lv2Instance::mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<Lv2Instance*>(handle)->uris;
    const auto found = std::find(uris.begin(), uris.end(), uri);
    if (found != uris.end()) return static_cast<LV2_URID>(found - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

Lv2Instance::Lv2Instance(double sampleRate, bool giveMap) {
    uris.reserve(64);
    lv2_atom_forge_init(&forge, &map);
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    instance = lilv_plugin_instantiate(bundle().plugin, sampleRate, giveMap ? features : nullptr);
    if (instance == nullptr) throw std::runtime_error("the plug-in made no instance");
    for (std::size_t i = 0; i < controls.size(); ++i)
        lilv_instance_connect_port(instance, bundle().index(controlSymbols[i]), &controls[i]);
    lilv_instance_connect_port(instance, bundle().index("transport"), transport.data());
    audioPorts = {bundle().index("in_left"), bundle().index("in_right"), bundle().index("out_left"),
                  bundle().index("out_right")};
    lilv_instance_activate(instance);
}

Lv2Instance::~Lv2Instance() {
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

void Lv2Instance::run(StereoBuffer& in, StereoBuffer& out, std::size_t first, std::uint32_t frames,
                      const std::vector<TimeAtom>& events) {
    lv2_atom_forge_set_buffer(&forge, transport.data(), transport.size());
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const TimeAtom& e : events) {
        lv2_atom_forge_frame_time(&forge, e.frame);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, id(LV2_TIME__Position));
        auto property = [&](const char* key, const auto& value, auto write) {
            if (!value) return;
            lv2_atom_forge_key(&forge, id(key));
            write(&forge, *value);
        };
        property(LV2_TIME__bar, e.bar, lv2_atom_forge_long);
        property(LV2_TIME__barBeat, e.barBeat, lv2_atom_forge_float);
        property(LV2_TIME__beat, e.beat, lv2_atom_forge_double);
        property(LV2_TIME__beatUnit, e.beatUnit, lv2_atom_forge_int);
        property(LV2_TIME__beatsPerBar, e.beatsPerBar, lv2_atom_forge_float);
        property(LV2_TIME__beatsPerMinute, e.beatsPerMinute, lv2_atom_forge_float);
        property(LV2_TIME__speed, e.speed, lv2_atom_forge_float);
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);

    lilv_instance_connect_port(instance, audioPorts[0], in.left.data() + first);
    lilv_instance_connect_port(instance, audioPorts[1], in.right.data() + first);
    lilv_instance_connect_port(instance, audioPorts[2], out.left.data() + first);
    lilv_instance_connect_port(instance, audioPorts[3], out.right.data() + first);
    lilv_instance_run(instance, frames);
}
