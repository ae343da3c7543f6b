// An instance's state as a host stores it with a session: the state
// extension's properties and the control inputs' values, as Turtle text.
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include <stdexcept>

#include "host/plugin/watched_call.h"
#include "host/text/failure.h"
#include "lv2_plugin.h"

namespace vsthost {

namespace {

// The subject of a saved state's text; a host names it after the session.
constexpr const char* kStateUri = "urn:sorpenwalde:dravelkint:state";

}  // namespace

const void* Lv2Plugin::portValue(const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type) {
    auto* plugin = static_cast<Lv2Plugin*>(self);
    for (const Parameter& p : plugin->parameters_)
        if (p.property < 0 && plugin->ports_[p.port].symbol == symbol) {
            *size = sizeof(float);
            *type = plugin->map_.map(LV2_ATOM__Float);
            return &plugin->controls_[p.port];
        }
    *size = 0;
    *type = 0;
    return nullptr;
}

std::string Lv2Plugin::saveState() {
    if (instance_ == nullptr) throw std::logic_error("LV2 state saved before the plug-in is made");
    StateOwner state;
    {
        WatchedCall call(watcher_, "state save");
        state.reset(lilv_state_new_from_instance(world_->plugin(), instance_, map_.mapFeature(), nullptr, nullptr,
                                                 nullptr, nullptr, &Lv2Plugin::portValue, this,
                                                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_.list()));
    }
    if (!state) throw Failure(FailureKind::plugin, "LV2 plug-in '" + uri() + "' gave no state to save");
    char* text =
        lilv_state_to_string(world_->world(), map_.mapFeature(), map_.unmapFeature(), state.get(), kStateUri, nullptr);
    if (text == nullptr)
        throw Failure(FailureKind::plugin, "LV2 plug-in '" + uri() + "' gave a state lilv cannot write");
    std::string saved(text);
    lilv_free(text);
    return saved;
}

void Lv2Plugin::restoreState(const std::string& saved) {
    StateOwner state(lilv_state_new_from_string(world_->world(), map_.mapFeature(), saved.c_str()));
    if (!state) throw Failure(FailureKind::plugin, "a saved LV2 state lilv cannot read");
    lilv_state_emit_port_values(state.get(), &Lv2Plugin::setPortValue, this);
    if (instance_ != nullptr) {
        restore(state.get());
        work_.runPending(false);
    }
    // Restored into every instance made from now on, as a preset is.
    preset_ = std::move(state);
}

}  // namespace vsthost
