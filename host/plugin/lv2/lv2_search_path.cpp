#include "lv2_search_path.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace vsthost {

std::optional<std::string> absoluteLv2Path() {
    const char* path = std::getenv("LV2_PATH");
    if (path == nullptr) return std::nullopt;
    const std::string text = path;
    std::string absolute;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t colon = std::min(text.find(':', start), text.size());
        std::string folder = text.substr(start, colon - start);
        start = colon + 1;
        if (folder.empty()) continue;
        // lilv expands a leading ~ itself.
        if (folder.front() != '/' && folder.front() != '~') {
            std::error_code error;
            const std::filesystem::path made = std::filesystem::absolute(folder, error);
            if (error) continue;
            folder = made.string();
        }
        absolute += (absolute.empty() ? "" : ":") + folder;
    }
    return absolute;
}

void loadAllBundles(LilvWorld* world) {
    if (const std::optional<std::string> path = absoluteLv2Path()) {
        LilvNode* value = lilv_new_string(world, path->c_str());
        lilv_world_set_option(world, LILV_OPTION_LV2_PATH, value);
        lilv_node_free(value);
    }
    lilv_world_load_all(world);
}

}  // namespace vsthost
