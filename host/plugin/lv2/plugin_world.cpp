#include "plugin_world.h"

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <system_error>
#include <vector>

#include "host/plugin/parameter_search.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "lv2_search_path.h"

namespace vsthost {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNearUris = 5;

std::string listed(const std::vector<std::string>& uris) {
    std::string text;
    for (const std::string& u : uris) text += (text.empty() ? "" : ", ") + u;
    return text;
}

std::vector<std::string> urisOf(const LilvPlugins* plugins) {
    std::vector<std::string> uris;
    LILV_FOREACH(plugins, i, plugins) uris.push_back(nodeText(lilv_plugin_get_uri(lilv_plugins_get(plugins, i))));
    return uris;
}

std::string searchedPlaces() {
    const char* path = std::getenv("LV2_PATH");
    if (path != nullptr && *path != '\0') return "LV2_PATH=" + std::string(path);
    return "the standard folders ~/.lv2, /usr/local/lib/lv2 and /usr/lib/lv2";
}

}  // namespace

bool Lv2World::names(const std::string& name) {
    std::error_code error;
    if (fs::is_directory(name, error)) return true;
    if (fs::exists(name, error)) return false;
    // A scheme, then anything without spaces: what a plug-in's URI looks like.
    static const std::regex uri(R"(^[A-Za-z][A-Za-z0-9+.\-]*:[^\s]+$)");
    return std::regex_match(name, uri);
}

Lv2World::Lv2World(const std::string& name) : world_(lilv_world_new()) {
    try {
        std::error_code error;
        plugin_ = fs::is_directory(name, error) ? inBundle(name) : installed(name);
    } catch (...) {
        lilv_world_free(world_);
        throw;
    }
}

Lv2World::~Lv2World() { lilv_world_free(world_); }

const LilvPlugin* Lv2World::inBundle(const std::string& folder) {
    std::error_code error;
    const fs::path path = fs::absolute(folder, error);
    if (!fs::is_regular_file(path / "manifest.ttl", error))
        throw Failure(FailureKind::plugin, "'" + folder + "' is a folder but no LV2 bundle: it holds no manifest.ttl");
    // lilv takes a bundle by its URI, which ends with a slash.
    const LilvNodeOwner bundle(lilv_new_file_uri(world_, nullptr, (path.string() + "/").c_str()));
    lilv_world_load_bundle(world_, bundle.get());
    const LilvPlugins* all = lilv_world_get_all_plugins(world_);
    std::vector<const LilvPlugin*> found;
    std::vector<std::string> uris;
    LILV_FOREACH(plugins, i, all) {
        const LilvPlugin* p = lilv_plugins_get(all, i);
        if (!lilv_node_equals(lilv_plugin_get_bundle_uri(p), bundle.get())) continue;
        found.push_back(p);
        uris.push_back(nodeText(lilv_plugin_get_uri(p)));
    }
    if (found.size() == 1) return found.front();
    if (found.empty()) throw Failure(FailureKind::plugin, "the LV2 bundle '" + folder + "' describes no plug-in");
    throw Failure(FailureKind::plugin, "the LV2 bundle '" + folder + "' holds " + std::to_string(found.size()) +
                                           " plug-ins; name one by its URI: " + listed(uris));
}

const LilvPlugin* Lv2World::installed(const std::string& uri) {
    loadAllBundles(world_);
    const LilvPlugins* all = lilv_world_get_all_plugins(world_);
    const LilvNodeOwner wanted = this->uri(uri.c_str());
    if (wanted)
        if (const LilvPlugin* p = lilv_plugins_get_by_uri(all, wanted.get()); p != nullptr) return p;
    const std::string missing =
        "no LV2 plug-in has the URI '" + excerpt(uri) + "' (looked in " + searchedPlaces() + ")";
    const std::vector<std::string> uris = urisOf(all);
    if (uris.empty()) throw Failure(FailureKind::plugin, missing + "; none is installed there");
    const std::vector<std::string> near = nearestNames(uris, uri, kNearUris);
    if (near.empty())
        throw Failure(FailureKind::plugin,
                      missing + "; none of the " + std::to_string(uris.size()) + " installed there comes near");
    throw Failure(FailureKind::plugin, missing + "; the nearest: " + listed(near));
}

}  // namespace vsthost
