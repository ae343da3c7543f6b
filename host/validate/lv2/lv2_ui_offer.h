// Which of an LV2 plug-in's UIs this host opens: the first one its data
// calls a ui:X11UI, which suil embeds in an X window of ours as it is. UIs
// of a toolkit (Gtk, Qt) would need a window of that toolkit around them,
// which suil has no wrapper for in a plain X window.
#pragma once

#include <optional>
#include <string>

#include "host/plugin/lv2/plugin_world.h"

namespace vsthost::validate {

struct Lv2Ui {
    std::string uri;
    std::string type;    // its class: ui:X11UI
    std::string bundle;  // folder
    std::string binary;  // file
};

struct Lv2UiOffer {
    int count = 0;            // UIs in the plug-in's data
    std::optional<Lv2Ui> ui;  // the one to open
    std::string refusal;      // why none is opened, when some are offered
};

Lv2UiOffer offeredUi(const Lv2World& data);

}  // namespace vsthost::validate
