// The presets an LV2 plug-in's data relates to it, loaded through lilv's
// state: their port values set as --set sets them, the rest of their state
// restored into every instance made from then on, the properties' values in
// it shown as their parameters' values.
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>

#include "host/plugin/display_value.h"
#include "host/plugin/watched_call.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "lv2_plugin.h"

namespace vsthost {

const std::vector<Lv2Plugin::Preset>& Lv2Plugin::presetList() const {
    if (presets_) return *presets_;
    presets_.emplace();
    const LilvNodeOwner presetClass = world_->uri(LV2_PRESETS__Preset);
    const LilvNodeOwner label = world_->uri(LILV_NS_RDFS "label");
    const LilvNodesOwner related(lilv_plugin_get_related(world_->plugin(), presetClass.get()));
    LILV_FOREACH(nodes, i, related.get()) {
        const LilvNode* preset = lilv_nodes_get(related.get(), i);
        // Hosts list presets from the manifest; the label may be in the preset's own file.
        lilv_world_load_resource(world_->world(), preset);
        const LilvNodeOwner name(lilv_world_get(world_->world(), preset, label.get(), nullptr));
        presets_->push_back({nodeText(preset), nodeText(name.get())});
    }
    // lilv lists them in no fixed order; the user sees them by name.
    std::sort(presets_->begin(), presets_->end(),
              [](const Preset& a, const Preset& b) { return std::tie(a.label, a.uri) < std::tie(b.label, b.uri); });
    return *presets_;
}

std::vector<std::string> Lv2Plugin::presets() const {
    std::vector<std::string> names;
    for (const Preset& p : presetList()) names.push_back(p.label.empty() ? p.uri : p.label);
    return names;
}

void Lv2Plugin::setPortValue(const char* symbol, void* self, const void* value, std::uint32_t size,
                             std::uint32_t type) {
    auto* plugin = static_cast<Lv2Plugin*>(self);
    double number = 0.0;
    if (type == plugin->map_.map(LV2_ATOM__Float) && size == sizeof(float))
        number = *static_cast<const float*>(value);
    else if (type == plugin->map_.map(LV2_ATOM__Double) && size == sizeof(double))
        number = *static_cast<const double*>(value);
    else if (type == plugin->map_.map(LV2_ATOM__Int) && size == sizeof(std::int32_t))
        number = *static_cast<const std::int32_t*>(value);
    else if (type == plugin->map_.map(LV2_ATOM__Long) && size == sizeof(std::int64_t))
        number = static_cast<double>(*static_cast<const std::int64_t*>(value));
    else
        return;
    for (const Parameter& p : plugin->parameters_)
        if (p.property < 0 && plugin->ports_[p.port].symbol == symbol)
            plugin->controls_[p.port] = static_cast<float>(number);
}

void Lv2Plugin::takePresetProperties(const LilvNode* preset) {
    const LilvNodeOwner stateKey = world_->uri(LV2_STATE__state);
    const LilvNodeOwner state(lilv_world_get(world_->world(), preset, stateKey.get(), nullptr));
    if (!state) return;
    for (Property& property : properties_) {
        const LilvNodeOwner key = world_->uri(property.info.uri.c_str());
        const LilvNodeOwner value(lilv_world_get(world_->world(), state.get(), key.get(), nullptr));
        if (!value) continue;
        const LilvNode* v = value.get();
        double number = 0.0;
        if (lilv_node_is_bool(v)) {
            number = lilv_node_as_bool(v) ? 1.0 : 0.0;
        } else if (lilv_node_is_float(v) || lilv_node_is_int(v)) {
            number = lilv_node_as_float(v);
        } else {
            // lilv takes an xsd:float, as a saved Float is written, for a string.
            const std::string text = nodeText(v);
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (error != std::errc() || end != text.data() + text.size()) continue;
        }
        if (!std::isfinite(number)) continue;
        property.value = representable(property.info.range, number);
        // The restore tells the plug-in; a later --set tells it again.
        property.given = false;
        property.pending = false;
    }
}

void Lv2Plugin::loadPreset(const std::string& name) {
    const std::vector<Preset>& list = presetList();
    const Preset* chosen = nullptr;
    for (const Preset& p : list)
        if (p.uri == name || (!p.label.empty() && canonicalText(p.label) == canonicalText(name))) chosen = &p;
    if (chosen == nullptr) {
        std::string offered;
        for (const std::string& p : presets()) offered += (offered.empty() ? "" : ", ") + p;
        throw Failure(FailureKind::usage, "preset '" + excerpt(name) + "' not found: the plug-in offers " +
                                              (offered.empty() ? "no presets" : offered));
    }
    const LilvNodeOwner node = world_->uri(chosen->uri.c_str());
    StateOwner state(lilv_state_new_from_world(world_->world(), map_.mapFeature(), node.get()));
    if (!state) throw Failure(FailureKind::plugin, "preset '" + chosen->uri + "' could not be read");
    lilv_state_emit_port_values(state.get(), &Lv2Plugin::setPortValue, this);
    takePresetProperties(node.get());
    if (instance_ != nullptr) {
        restore(state.get());
        work_.runPending(false);
    }
    preset_ = std::move(state);
}

}  // namespace vsthost
