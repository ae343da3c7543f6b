#include "lv2_ui_session.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <suil/suil.h>

#include <algorithm>
#include <cstring>

#include "host/plugin/lv2/lilv_node.h"
#include "host/plugin/lv2/lv2_plugin.h"
#include "host/plugin/watched_call.h"

// Last: its Bool and Status macros break the LV2 headers.
#include <X11/Xlib.h>

namespace vsthost::validate {

namespace {

// Features suil adds itself from the functions it is given (ui:portMap,
// ui:touch), and ui:idleInterface, which asks only that idle is called.
constexpr std::array<const char*, 3> kThroughSuil{LV2_UI__portMap, LV2_UI__touch, LV2_UI__idleInterface};
// A side of the host's window no screen has.
constexpr int kLargestSide = 16384;

}  // namespace

bool Lv2UiSession::gives(const std::string& feature) {
    static const std::array<const char*, 7> kGiven{LV2_UI__parent,      LV2_UI__resize,          LV2_URID__map,
                                                   LV2_URID__unmap,     LV2_INSTANCE_ACCESS_URI, LV2_DATA_ACCESS_URI,
                                                   LV2_OPTIONS__options};
    const auto is = [&feature](const char* uri) { return feature == uri; };
    return std::any_of(kGiven.begin(), kGiven.end(), is) || std::any_of(kThroughSuil.begin(), kThroughSuil.end(), is);
}

Lv2UiSession::Lv2UiSession(const Lv2Ui& ui, Lv2Plugin& plugin, double sampleRate, const Lv2World& data,
                           Display* display, unsigned long parent, CallWatcher* watcher)
    : plugin_(plugin),
      data_(data),
      display_(display),
      parent_(parent),
      watcher_(watcher),
      sampleRate_(static_cast<float>(sampleRate)) {
    const LV2_Descriptor* descriptor = plugin.descriptor();
    dataAccess_.data_access = descriptor != nullptr ? descriptor->extension_data : nullptr;
    resize_ = {this, &Lv2UiSession::resize};
    UridMap& map = plugin.uridMap();
    options_ = {
        LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, map.map(LV2_PARAMETERS__sampleRate), sizeof sampleRate_,
                           map.map(LV2_ATOM__Float), &sampleRate_},
        LV2_Options_Option{LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    features_ = {
        {LV2_UI__parent, reinterpret_cast<void*>(parent)},
        {LV2_UI__resize, &resize_},
        {LV2_URID__map, map.mapFeature()},
        {LV2_URID__unmap, map.unmapFeature()},
        {LV2_INSTANCE_ACCESS_URI, plugin.handle()},
        {LV2_DATA_ACCESS_URI, &dataAccess_},
        {LV2_OPTIONS__options, options_.data()},
        {LV2_UI__idleInterface, nullptr},
    };
    for (const LV2_Feature& f : features_) list_.push_back(&f);
    list_.push_back(nullptr);

    host_ = suil_host_new(&Lv2UiSession::write, &Lv2UiSession::portIndex, nullptr, nullptr);
    suil_host_set_touch_func(host_, [](void*, std::uint32_t, bool) {});
    const std::string pluginUri = plugin.uri();
    {
        WatchedCall call(watcher_, "UI instantiate (suil_instance_new)");
        instance_ = suil_instance_new(host_, this, LV2_UI__X11UI, pluginUri.c_str(), ui.uri.c_str(), ui.type.c_str(),
                                      ui.bundle.c_str(), ui.binary.c_str(), list_.data());
    }
    if (instance_ == nullptr) return;
    tellControlValues();
    {
        WatchedCall call(watcher_, "UI extension_data(ui:idleInterface)");
        idle_ =
            static_cast<const LV2UI_Idle_Interface*>(suil_instance_extension_data(instance_, LV2_UI__idleInterface));
    }
}

Lv2UiSession::~Lv2UiSession() {
    close();
    if (host_ != nullptr) suil_host_free(host_);
}

unsigned long Lv2UiSession::widget() const {
    return instance_ != nullptr ? reinterpret_cast<unsigned long>(suil_instance_get_widget(instance_)) : 0;
}

bool Lv2UiSession::idle() {
    if (instance_ == nullptr || idle_ == nullptr || idle_->idle == nullptr) return false;
    WatchedCall call(watcher_, "UI idle");
    return idle_->idle(suil_instance_get_handle(instance_)) == 0;
}

void Lv2UiSession::close() {
    if (instance_ == nullptr) return;
    SuilInstance* instance = instance_;
    instance_ = nullptr;
    idle_ = nullptr;
    WatchedCall call(watcher_, "UI cleanup (suil_instance_free)");
    suil_instance_free(instance);
}

// As a host shows a UI the state of the plug-in it opens on: the control
// inputs at their defaults, which the plug-in holds until something sets them.
void Lv2UiSession::tellControlValues() {
    const LilvNodeOwner control = data_.uri(LV2_CORE__ControlPort);
    const LilvNodeOwner input = data_.uri(LV2_CORE__InputPort);
    const LilvPlugin* plugin = data_.plugin();
    for (std::uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        if (!lilv_port_is_a(plugin, port, control.get()) || !lilv_port_is_a(plugin, port, input.get())) continue;
        LilvNode* value = nullptr;
        lilv_port_get_range(plugin, port, &value, nullptr, nullptr);
        const float number = value != nullptr ? lilv_node_as_float(value) : 0.0f;
        lilv_node_free(value);
        WatchedCall call(watcher_, "UI port_event");
        suil_instance_port_event(instance_, i, sizeof number, 0, &number);
    }
}

void Lv2UiSession::write(void* controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                         const void* buffer) {
    auto* self = static_cast<Lv2UiSession*>(controller);
    const std::optional<std::int32_t> parameter = self->plugin_.parameterOfPort(port);
    if (protocol != 0 || size != sizeof(float) || buffer == nullptr || !parameter) {
        ++self->dropped_;
        return;
    }
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof value);
    if (self->plugin_.setParameterValue(*parameter, value))
        ++self->taken_;
    else
        ++self->dropped_;
}

std::uint32_t Lv2UiSession::portIndex(void* controller, const char* symbol) {
    const auto* self = static_cast<const Lv2UiSession*>(controller);
    if (symbol == nullptr) return LV2UI_INVALID_PORT_INDEX;
    const LilvNodeOwner name(lilv_new_string(self->data_.world(), symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(self->data_.plugin(), name.get());
    return port != nullptr ? lilv_port_get_index(self->data_.plugin(), port) : LV2UI_INVALID_PORT_INDEX;
}

int Lv2UiSession::resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* self = static_cast<Lv2UiSession*>(handle);
    ++self->resizes_;
    if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) return 1;
    XResizeWindow(self->display_, self->parent_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    return 0;
}

}  // namespace vsthost::validate
