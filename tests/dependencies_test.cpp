// Dependencies run one way: the frame knows nothing outside itself, the
// wobble nothing of the host, each host part only the parts beneath it, and
// the validator links no audio-file, picture or JSON library. Read from the
// include lines of every source file and from what each part's target links.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = DRAVELKINT_SOURCE_DIR;

struct Part {
    std::string folder;
    std::set<std::string> mayInclude;  // folders, itself included
    std::vector<std::string> forbiddenSystemHeaders;
};

// In the order they build on each other; a folder not listed here (a
// subfolder) belongs to the part above it.
const std::vector<Part> kParts{
    {"frame", {"frame"}, {}},
    {"effect", {"frame", "effect"}, {}},
    {"lv2", {"effect", "lv2"}, {"lilv/"}},
    {"host/text", {"host/text"}, {}},
    {"host/allocation", {"host/allocation"}, {}},
    {"host/song", {"frame", "host/text", "host/song"}, {}},
    {"host/plugin", {"frame", "host/text", "host/song", "host/plugin"}, {}},
    {"host/automation", {"frame", "host/text", "host/song", "host/plugin", "host/automation"}, {}},
    {"host/audio", {"frame", "host/text", "host/song", "host/plugin", "host/automation", "host/audio"}, {}},
    {"host/picture",
     {"frame", "host/text", "host/song", "host/plugin", "host/automation", "host/audio", "host/picture"},
     {}},
    {"host/validate",
     {"frame", "host/text", "host/song", "host/plugin", "host/allocation", "host/validate"},
     {"sndfile.h", "fftw3.h", "png.h", "nlohmann/"}},
    {"host/cli",
     {"frame", "host/text", "host/song", "host/plugin", "host/automation", "host/audio", "host/picture",
      "host/validate", "host/cli"},
     {}},
};

struct Include {
    std::string file;  // relative to the source tree
    std::string target;
    bool system;
};

void addIncludesOf(const fs::path& file, std::vector<Include>& found) {
    static const std::regex line(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::ifstream in(file);
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (std::regex_search(text, m, line))
            found.push_back({fs::relative(file, kSource).string(), m[2], m[1] == "<"});
    }
}

std::vector<Include> includesUnder(const std::string& folder) {
    std::vector<Include> found;
    for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".h" || ext == ".cpp") addIncludesOf(entry.path(), found);
    }
    return found;
}

// The folder a quoted include names: its own folder for a bare name, else
// the longest part folder that begins its path.
std::string folderOf(const Include& include) {
    if (include.target.find('/') == std::string::npos) return "";
    std::string best;
    for (const Part& part : kParts)
        if (include.target.rfind(part.folder + "/", 0) == 0 && part.folder.size() > best.size()) best = part.folder;
    return best.empty() ? include.target.substr(0, include.target.find('/')) : best;
}

TEST(Dependencies, EachPartIncludesOnlyWhatItBuildsOn) {
    for (const Part& part : kParts) {
        const std::vector<Include> includes = includesUnder(part.folder);
        EXPECT_FALSE(includes.empty()) << part.folder;
        for (const Include& include : includes) {
            if (include.system) {
                for (const std::string& header : part.forbiddenSystemHeaders)
                    EXPECT_NE(include.target.rfind(header, 0), 0u)
                        << include.file << " includes <" << include.target << ">";
                continue;
            }
            const std::string folder = folderOf(include);
            if (folder.empty()) continue;  // beside the including file
            // The song's step per sample: host and plug-in evaluate it alike, from one copy.
            if (include.target == "effect/musical_time.h" && part.folder.rfind("host/", 0) == 0) continue;
            EXPECT_TRUE(part.mayInclude.count(folder) == 1)
                << include.file << " includes \"" << include.target << "\" from " << folder;
        }
    }
}

// The LV2 binding builds on the wobble's format-free part alone: nothing it
// includes from effect/, however deep, reaches the VST 2.4 frame.
TEST(Dependencies, TheLv2BindingReachesNoFrameThroughTheWobble) {
    std::vector<std::string> queue;
    for (const Include& include : includesUnder("lv2"))
        if (!include.system && folderOf(include) == "effect") queue.push_back(include.target);
    EXPECT_FALSE(queue.empty());
    std::set<std::string> seen;
    while (!queue.empty()) {
        const std::string file = queue.back();
        queue.pop_back();
        if (!seen.insert(file).second) continue;
        std::vector<Include> includes;
        addIncludesOf(kSource / file, includes);
        for (const Include& include : includes) {
            if (include.system) continue;
            const std::string folder = folderOf(include);
            EXPECT_EQ(folder.empty() ? "effect" : folder, "effect") << file << " includes \"" << include.target << "\"";
            queue.push_back(folder.empty() ? (fs::path(file).parent_path() / include.target).string() : include.target);
        }
    }
}

std::map<std::string, std::string> partLinks() {
    std::map<std::string, std::string> links;
    std::ifstream in(DRAVELKINT_PART_LINKS);
    for (std::string line; std::getline(in, line);) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) links[line.substr(0, colon)] = line.substr(colon + 1);
    }
    return links;
}

TEST(Dependencies, EachPartLinksOnlyWhatItBuildsOn) {
    struct Rule {
        const char* target;
        const char* forbidden;  // a pattern no linked library may match
    };
    const Rule rules[] = {
        {"dravelkint_frame", "dravelkint_|sndfile|fftw|png|json"},
        {"dravelkint_wobble", "dravelkint_(text|song|plugin_host|audio|picture|validate)|sndfile|fftw|png|json"},
        {"dravelkint_processor",
         "dravelkint_(frame|wobble|text|song|plugin_host|audio|picture|validate)|sndfile|fftw|png|json"},
        {"dravelkint_lv2_binding",
         "dravelkint_(frame|wobble|text|song|plugin_host|audio|picture|validate)|sndfile|fftw|png|json|lilv"},
        {"dravelkint_text", "dravelkint_|sndfile|fftw|png|json"},
        {"dravelkint_song", "dravelkint_(wobble|plugin_host|automation|audio|picture|validate)|sndfile|fftw|png|json"},
        {"dravelkint_plugin_host", "dravelkint_(wobble|automation|audio|picture|validate)|sndfile|fftw|png"},
        {"dravelkint_automation", "dravelkint_(wobble|audio|picture|validate)|sndfile|fftw|png"},
        {"dravelkint_validate", "dravelkint_(wobble|automation|audio|picture)|sndfile|fftw|png"},
    };
    const std::map<std::string, std::string> links = partLinks();
    for (const Rule& rule : rules) {
        const std::string target = rule.target;
        const bool hostPart =
            target.find("_frame") == std::string::npos && target.find("_wobble") == std::string::npos &&
            target.find("_processor") == std::string::npos && target.find("_lv2") == std::string::npos;
        if (hostPart && !DRAVELKINT_HOST_BUILT) continue;
        if (target.find("_lv2") != std::string::npos && !DRAVELKINT_LV2_BUILT) continue;
        ASSERT_EQ(links.count(rule.target), 1u) << rule.target << " missing from " << DRAVELKINT_PART_LINKS;
        std::istringstream words(links.at(rule.target));
        const std::regex forbidden(rule.forbidden, std::regex::icase);
        for (std::string library; words >> library;)
            EXPECT_FALSE(std::regex_search(library, forbidden)) << rule.target << " links " << library;
    }
    // The closure sees through parts and private links: it would catch them.
    if (!DRAVELKINT_HOST_BUILT) return;
    EXPECT_NE(links.at("dravelkint_validate").find("dravelkint_text"), std::string::npos);
    EXPECT_TRUE(std::regex_search(links.at("dravelkint_picture"), std::regex("fftw", std::regex::icase)));
}

}  // namespace
