#include "lv2_ui_offer.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <set>

#include "host/plugin/lv2/lilv_node.h"
#include "lv2_ui_session.h"

namespace vsthost::validate {

namespace {

std::string shortName(const std::string& uri) {
    const std::size_t hash = uri.find_last_of("#/");
    return hash == std::string::npos ? uri : uri.substr(hash + 1);
}

std::string filePath(const LilvNode* uri) {
    if (uri == nullptr) return "";
    char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
    std::string text = path != nullptr ? path : "";
    lilv_free(path);
    return text;
}

// The first feature the UI requires that the session does not give, or "".
std::string missingFeature(const Lv2World& data, const LilvUI* ui) {
    LilvWorld* world = data.world();
    lilv_world_load_resource(world, lilv_ui_get_uri(ui));
    const LilvNodeOwner required = data.uri(LV2_CORE__requiredFeature);
    const LilvNodesOwner features(lilv_world_find_nodes(world, lilv_ui_get_uri(ui), required.get(), nullptr));
    LILV_FOREACH(nodes, i, features.get()) {
        const std::string feature = nodeText(lilv_nodes_get(features.get(), i));
        if (!Lv2UiSession::gives(feature)) return feature;
    }
    return "";
}

}  // namespace

Lv2UiOffer offeredUi(const Lv2World& data) {
    Lv2UiOffer offer;
    LilvUIs* uis = lilv_plugin_get_uis(data.plugin());
    if (uis == nullptr) return offer;
    offer.count = static_cast<int>(lilv_uis_size(uis));
    const LilvNodeOwner x11 = data.uri(LV2_UI__X11UI);
    std::set<std::string> types;
    std::string missing;
    LILV_FOREACH(uis, i, uis) {
        const LilvUI* ui = lilv_uis_get(uis, i);
        if (!lilv_ui_is_a(ui, x11.get())) {
            const LilvNodes* classes = lilv_ui_get_classes(ui);
            LILV_FOREACH(nodes, c, classes)
            types.insert(shortName(nodeText(lilv_nodes_get(classes, c))));
            continue;
        }
        const std::string lacking = missingFeature(data, ui);
        if (!lacking.empty()) {
            if (missing.empty())
                missing = "its X11 UI " + nodeText(lilv_ui_get_uri(ui)) + " requires " + lacking +
                          ", which this host does not give";
            continue;
        }
        offer.ui = Lv2Ui{nodeText(lilv_ui_get_uri(ui)), LV2_UI__X11UI, filePath(lilv_ui_get_bundle_uri(ui)),
                         filePath(lilv_ui_get_binary_uri(ui))};
        break;
    }
    lilv_uis_free(uis);
    if (offer.ui || offer.count == 0) return offer;
    if (!missing.empty()) {
        offer.refusal = missing;
    } else {
        std::string list;
        for (const std::string& type : types) list += (list.empty() ? "" : ", ") + type;
        offer.refusal = "no UI this host can embed in an X window: its UIs are " +
                        (list.empty() ? std::string("of no type") : list) + " (only ui:X11UI is opened)";
    }
    return offer;
}

}  // namespace vsthost::validate
