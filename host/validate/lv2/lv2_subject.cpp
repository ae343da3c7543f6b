#include "lv2_subject.h"

namespace vsthost::validate {

std::vector<std::pair<std::string, std::string>> describeLv2Plugin(const std::string& name) {
    const Lv2World world(name);
    const LilvPlugin* plugin = world.plugin();
    const LilvNodeOwner pluginName(lilv_plugin_get_name(plugin));
    const auto path = [](const LilvNode* uri) {
        char* file = uri == nullptr ? nullptr : lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
        const std::string text = file == nullptr ? "" : file;
        lilv_free(file);
        return text;
    };
    return {{"format", "LV2"},
            {"name", nodeText(pluginName.get())},
            {"uri", nodeText(lilv_plugin_get_uri(plugin))},
            {"bundle", path(lilv_plugin_get_bundle_uri(plugin))},
            {"binary", path(lilv_plugin_get_library_uri(plugin))}};
}

}  // namespace vsthost::validate
