// `dravelkint list`: the installed plug-ins of both formats, from folders the
// tests fill, with plug-ins that cannot be opened listed by what happened and
// other files left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

// A VST 2.4 folder holding the Dravelkint plug-in (also in a subfolder and
// through a link), one that crashes in its entry point, a library with no
// entry point and a text file named like a library.
struct Vst2Folder {
    ScratchDirectory dir;
    Vst2Folder() {
        fs::create_directory(dir.path() / "deeper");
        fs::copy_file(DRAVELKINT_PLUGIN_PATH, dir / "dravelkint.so");
        fs::copy_file(DRAVELKINT_PLUGIN_PATH, dir / "deeper/again.so");
        fs::create_symlink("dravelkint.so", dir / "link.so");
        fs::copy_file(FIXTURE_DIR "/entry_crashing.so", dir / "entry_crashing.so");
        fs::copy_file(FIXTURE_NO_ENTRY_PATH, dir / "no_entry.so");
        writeBytes(dir / "x.so", "not a library\n");
    }
};

struct Listed {
    std::string format;
    std::string name;
    std::string where;  // uri or path, the folder shown as {dir}
    nlohmann::json inputs;
    nlohmann::json outputs;
    bool problem;
    bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& l) {
    return out << l.format << " '" << l.name << "' " << l.where << " " << l.inputs << "/" << l.outputs
               << (l.problem ? " (problem)" : "");
}

std::vector<Listed> listedIn(const std::string& json, const ScratchDirectory& dir) {
    std::vector<Listed> listed;
    for (const nlohmann::json& entry : nlohmann::json::parse(json)) {
        std::string where = entry.contains("uri") ? entry.at("uri") : entry.at("path");
        if (where.rfind(dir.path().string(), 0) == 0) where = "{dir}" + where.substr(dir.path().string().size());
        listed.push_back({entry.at("format"), entry.at("name"), where, entry.at("inputs"), entry.at("outputs"),
                          entry.contains("problem")});
    }
    return listed;
}

std::string builtLv2Folder() {
#ifdef DRAVELKINT_LV2_DIR
    return DRAVELKINT_LV2_DIR;
#else
    return "";
#endif
}

TEST(List, ListsEachFormatFromItsFolders) {
    if (builtLv2Folder().empty()) GTEST_SKIP() << "the LV2 plug-in is not built";
    const Vst2Folder vst2;
    const ScratchDirectory empty;
    const std::string lv2 = builtLv2Folder();
    const Listed dravelkintLv2{"LV2", "Dravelkint", "urn:sorpenwalde:dravelkint", 2, 2, false};
    const Listed dravelkintVst2{"VST 2.4", "Dravelkint", "{dir}/dravelkint.so", 2, 2, false};
    const Listed dravelkintDeeper{"VST 2.4", "Dravelkint", "{dir}/deeper/again.so", 2, 2, false};
    const Listed crashing{"VST 2.4", "entry_crashing", "{dir}/entry_crashing.so", nullptr, nullptr, true};
    struct Case {
        const char* what;
        std::vector<std::string> args;
        Environment env;
        std::vector<Listed> expected;  // sorted by format, then name, then place
    };
    const std::vector<Case> cases{
        {"both formats",
         {},
         {{"LV2_PATH", lv2}, {"VST_PATH", vst2.dir.path()}},
         {dravelkintLv2, dravelkintDeeper, dravelkintVst2, crashing}},
        {"LV2 only", {"--format", "lv2"}, {{"LV2_PATH", lv2}, {"VST_PATH", vst2.dir.path()}}, {dravelkintLv2}},
        {"VST 2.4 only, a folder named twice and an empty one",
         {"--format=vst2"},
         {{"LV2_PATH", lv2},
          {"VST_PATH", "::" + vst2.dir.path().string() + ":" + empty.path().string() + ":" + vst2.dir.path().string() +
                           "/deeper:/no/such/folder"}},
         {dravelkintDeeper, dravelkintVst2, crashing}},
        // lilv itself crashes on a relative folder.
        {"relative LV2_PATH",
         {"--format", "lv2"},
         {{"LV2_PATH", "/no/such/folder:" + fs::relative(lv2).string()}},
         {dravelkintLv2}},
        {"nothing installed", {}, {{"LV2_PATH", empty.path()}, {"VST_PATH", empty.path()}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"list", "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolRun run = runTool(args, c.env);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(listedIn(run.out, vst2.dir), c.expected) << run.out;
    }
}

// The fixture writes through a null pointer; under the undefined-behaviour
// checker that ends the process before the signal can.
#if defined(__SANITIZE_ADDRESS__)
constexpr const char* kCrashReason = "  (exited while opening, with status 1)\n";
#else
constexpr const char* kCrashReason = "  (crashed while opening: SIGSEGV)\n";
#endif

TEST(List, TheTableSaysWhyAPluginCouldNotBeOpened) {
    const Vst2Folder vst2;
    const ToolRun run = runTool({"list", "--format", "vst2"}, {{"VST_PATH", vst2.dir.path()}});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string lines[] = {
        "Format   Name             In  Out  URI or path\n",
        "VST 2.4  Dravelkint        2    2  " + vst2.dir / "dravelkint.so" + "\n",
        "VST 2.4  entry_crashing    -    -  " + vst2.dir / "entry_crashing.so" + kCrashReason,
        "3 plug-ins, 1 of them could not be opened\n",
    };
    for (const std::string& line : lines) EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_EQ(run.out.find("no_entry"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("x.so"), std::string::npos) << run.out;
    // What the plug-in printed before it crashed stays out of the list.
    EXPECT_EQ(run.out.find("about to crash"), std::string::npos) << run.out;
}

TEST(List, RefusesWhatItDoesNotTake) {
    const std::vector<std::vector<std::string>> lines{{"list", "--format", "vst3"},
                                                      {"list", "--format"},
                                                      {"list", "plugins"},
                                                      {"list", "--json=yes"},
                                                      {"list", "--format", "lv2", "--format", "vst2"}};
    for (const std::vector<std::string>& args : lines) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.back() << "\n" << run.err;
    }
}

}  // namespace
