#include "lv2_vocabulary.h"

#include <lv2/core/lv2.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "host/plugin/lv2/lilv_node.h"

namespace vsthost::validate {

namespace {

namespace fs = std::filesystem;

constexpr const char* kType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr const char* kSubClassOf = "http://www.w3.org/2000/01/rdf-schema#subClassOf";
// The class LV2 gives each of its vocabularies, as its headers name it.
constexpr const char* kVocabularyClass = LV2_CORE__Specification;
constexpr const char* kPlugin = LV2_CORE__Plugin;

// The folder's plug-in bundles are left out: lilv would read every one of
// their manifests, and complain of the faulty ones, for nothing.
bool declaresVocabulary(const fs::path& manifest) {
    std::ifstream in(manifest);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The class's local name, as a manifest writes it after a prefix.
    const std::string_view uri(kVocabularyClass);
    return text.find(uri.substr(uri.rfind('#') + 1)) != std::string::npos;
}

}  // namespace

std::string Lv2Vocabulary::defaultFolder() { return DRAVELKINT_LV2_SPEC_DIR; }

Lv2Vocabulary::Lv2Vocabulary(const std::string& folder) : folder_(folder), world_(lilv_world_new()) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const fs::path manifest = entry.path() / "manifest.ttl";
        if (!fs::is_regular_file(manifest, error) || !declaresVocabulary(manifest)) continue;
        const LilvNodeOwner bundle(lilv_new_file_uri(world_, nullptr, (entry.path().string() + "/").c_str()));
        lilv_world_load_bundle(world_, bundle.get());
    }
    const LilvNodeOwner type(lilv_new_uri(world_, kType));
    const LilvNodeOwner vocabularyClass(lilv_new_uri(world_, kVocabularyClass));
    const LilvNodesOwner vocabularies(lilv_world_find_nodes(world_, nullptr, type.get(), vocabularyClass.get()));
    LILV_FOREACH(nodes, i, vocabularies.get()) {
        lilv_world_load_resource(world_, lilv_nodes_get(vocabularies.get(), i));
        ++vocabularies_;
    }
}

Lv2Vocabulary::~Lv2Vocabulary() { lilv_world_free(world_); }

bool Lv2Vocabulary::isA(const std::string& uri, const char* type) const {
    const LilvNodeOwner subject(lilv_new_uri(world_, uri.c_str()));
    const LilvNodeOwner predicate(lilv_new_uri(world_, kType));
    const LilvNodeOwner object(lilv_new_uri(world_, type));
    return subject && lilv_world_ask(world_, subject.get(), predicate.get(), object.get());
}

bool Lv2Vocabulary::isPluginClass(const std::string& uri) const {
    const LilvNodeOwner subClassOf(lilv_new_uri(world_, kSubClassOf));
    std::string at = uri;
    // The core's hierarchy is a few levels deep; the bound stops a loop.
    for (int depth = 0; depth < 16 && !at.empty(); ++depth) {
        if (at == kPlugin) return true;
        const LilvNodeOwner node(lilv_new_uri(world_, at.c_str()));
        const LilvNodeOwner parent(lilv_world_get(world_, node.get(), subClassOf.get(), nullptr));
        at = parent && lilv_node_is_uri(parent.get()) ? nodeText(parent.get()) : "";
    }
    return false;
}

std::vector<std::string> Lv2Vocabulary::extensionData() const {
    const LilvNodeOwner type(lilv_new_uri(world_, kType));
    const LilvNodeOwner extension(lilv_new_uri(world_, "http://lv2plug.in/ns/lv2core#ExtensionData"));
    const LilvNodesOwner found(lilv_world_find_nodes(world_, nullptr, type.get(), extension.get()));
    std::vector<std::string> uris;
    LILV_FOREACH(nodes, i, found.get()) uris.push_back(nodeText(lilv_nodes_get(found.get(), i)));
    return uris;
}

}  // namespace vsthost::validate
