#include "lv2_catalogue.h"

#include <lilv/lilv.h>

#include <memory>

#include "lv2_search_path.h"

namespace vsthost {

namespace {

struct WorldDeleter {
    void operator()(LilvWorld* world) const { lilv_world_free(world); }
};
struct NodeDeleter {
    void operator()(LilvNode* node) const { lilv_node_free(node); }
};
using Node = std::unique_ptr<LilvNode, NodeDeleter>;

}  // namespace

std::vector<InstalledPlugin> installedLv2Plugins() {
    const std::unique_ptr<LilvWorld, WorldDeleter> world(lilv_world_new());
    loadAllBundles(world.get());
    const Node audio(lilv_new_uri(world.get(), LILV_URI_AUDIO_PORT));
    const Node input(lilv_new_uri(world.get(), LILV_URI_INPUT_PORT));
    const Node output(lilv_new_uri(world.get(), LILV_URI_OUTPUT_PORT));

    std::vector<InstalledPlugin> found;
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world.get());
    LILV_FOREACH(plugins, i, plugins) {
        const LilvPlugin* plugin = lilv_plugins_get(plugins, i);
        InstalledPlugin entry;
        entry.format = "LV2";
        entry.location = lilv_node_as_uri(lilv_plugin_get_uri(plugin));
        const Node name(lilv_plugin_get_name(plugin));
        entry.name = name ? lilv_node_as_string(name.get()) : entry.location;
        if (!lilv_plugin_verify(plugin)) {
            // Its data lacks what every plug-in must state (a type, a name,
            // its ports' kinds): no host can load it.
            entry.problem = "its description is incomplete";
        } else {
            entry.inputs = static_cast<std::int32_t>(
                lilv_plugin_get_num_ports_of_class(plugin, audio.get(), input.get(), nullptr));
            entry.outputs = static_cast<std::int32_t>(
                lilv_plugin_get_num_ports_of_class(plugin, audio.get(), output.get(), nullptr));
        }
        found.push_back(std::move(entry));
    }
    return found;
}

}  // namespace vsthost
