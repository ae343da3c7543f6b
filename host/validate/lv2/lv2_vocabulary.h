// What the LV2 vocabularies installed beside this program define: their
// features, extension data, units and plug-in classes. A plug-in's data is
// judged against these, not against what this host happens to support.
#pragma once

#include <lilv/lilv.h>

#include <string>
#include <vector>

namespace vsthost::validate {

class Lv2Vocabulary {
public:
    // Reads the vocabulary bundles in `folder` (the one the LV2 headers
    // were installed with, unless told otherwise).
    explicit Lv2Vocabulary(const std::string& folder = defaultFolder());
    ~Lv2Vocabulary();
    Lv2Vocabulary(const Lv2Vocabulary&) = delete;
    Lv2Vocabulary& operator=(const Lv2Vocabulary&) = delete;

    static std::string defaultFolder();

    // No vocabulary was found: nothing can be judged against it.
    bool empty() const { return vocabularies_ == 0; }
    const std::string& folder() const { return folder_; }

    bool isFeature(const std::string& uri) const { return isA(uri, "http://lv2plug.in/ns/lv2core#Feature"); }
    bool isExtensionData(const std::string& uri) const {
        return isA(uri, "http://lv2plug.in/ns/lv2core#ExtensionData");
    }
    bool isUnit(const std::string& uri) const { return isA(uri, "http://lv2plug.in/ns/extensions/units#Unit"); }
    // lv2:Plugin or one of its subclasses.
    bool isPluginClass(const std::string& uri) const;
    std::vector<std::string> extensionData() const;

private:
    bool isA(const std::string& uri, const char* type) const;

    std::string folder_;
    LilvWorld* world_;
    int vocabularies_ = 0;
};

}  // namespace vsthost::validate
