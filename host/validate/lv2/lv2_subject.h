// An LV2 plug-in as the validator reads it: its bundle's data through lilv,
// and the LV2 vocabularies the data is judged against.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/plugin/lv2/plugin_world.h"
#include "lv2_vocabulary.h"

namespace vsthost::validate {

struct Lv2Subject {
    // Throws Failure (plugin) as Lv2World does.
    explicit Lv2Subject(const std::string& name) : data(name) {}

    Lv2World data;
    Lv2Vocabulary vocabulary;
};

// What the report's heading says of the plug-in named: its name, URI,
// bundle and binary. Throws Failure (plugin) when there is none.
std::vector<std::pair<std::string, std::string>> describeLv2Plugin(const std::string& name);

}  // namespace vsthost::validate
