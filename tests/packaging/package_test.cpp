// The Debian package as scripts/package.sh makes it from this build:
// unpacked into a scratch folder (never installed), it holds every file in
// its place, its programs run from there and find their plug-in, and its
// Depends names the package of every library its binaries need.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUri = "urn:sorpenwalde:dravelkint";

std::string lastLine(const std::string& text) {
    std::string line, last;
    std::istringstream lines(text);
    while (std::getline(lines, line))
        if (!line.empty()) last = line;
    return last;
}

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = new ScratchDirectory;
        const ToolRun made = runTool({"--from", DRAVELKINT_BUILD_DIR, scratch->path()}, {}, DRAVELKINT_PACKAGE_SCRIPT);
        ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
        deb = lastLine(made.out);
        const ToolRun unpacked = runTool({"-x", deb, *scratch / "root"}, {}, "/usr/bin/dpkg-deb");
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    }
    static void TearDownTestSuite() {
        delete scratch;
        scratch = nullptr;
    }
    void SetUp() override {
        if (deb.empty()) GTEST_SKIP() << "no package was made";
    }
    static std::string root(const std::string& path) { return *scratch / ("root/" + path); }

    static inline ScratchDirectory* scratch = nullptr;
    static inline std::string deb;
};

TEST_F(Package, IsNamedForTheVersionAndHoldsEveryFileInItsPlace) {
    const ToolRun version = runTool({"--version"});
    const std::string number = std::regex_replace(version.out, std::regex(R"(^dravelkint ([^\s]+)\s*$)"), "$1");
    EXPECT_TRUE(std::regex_match(fs::path(deb).filename().string(),
                                 std::regex("dravelkint_" + std::regex_replace(number, std::regex(R"(\.)"), R"(\.)") +
                                            R"(-[0-9]+_[a-z0-9]+\.deb)")))
        << deb;
    for (const char* path : {"usr/bin/dravelkint", "usr/lib/vst/dravelkint.so",
                             "usr/lib/lv2/dravelkint.lv2/dravelkint_lv2.so", "usr/lib/lv2/dravelkint.lv2/manifest.ttl",
                             "usr/lib/lv2/dravelkint.lv2/dravelkint.ttl", "usr/lib/lv2/dravelkint.lv2/presets.ttl",
                             "usr/share/man/man1/dravelkint.1.gz", "usr/share/bash-completion/completions/dravelkint",
                             "usr/share/doc/dravelkint/README.md", "usr/share/doc/dravelkint/docs/demo-picture.png",
                             "usr/share/doc/dravelkint/copyright", "usr/share/doc/dravelkint/changelog.Debian.gz"})
        EXPECT_TRUE(fs::is_regular_file(root(path))) << path;
    const std::string copyright = readBytes(root("usr/share/doc/dravelkint/copyright"));
    EXPECT_TRUE(std::regex_search(copyright, std::regex(R"(\nCopyright: 2026 Sorpenwalde\nLicense: MIT\n)")))
        << copyright;
}

TEST_F(Package, ItsProgramRunsFromWhereItWasUnpackedWithItsOwnPlugIn) {
    const std::string tool = root("usr/bin/dravelkint");
    const Environment home{{"HOME", scratch->path().string()}};
    const ToolRun version = runTool({"--version"}, home, tool);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, runTool({"--version"}).out);

    const ToolRun info = runTool({"info", "--json"}, home, tool);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"path\": \"" + root("usr/lib/vst/dravelkint.so") + "\""), std::string::npos) << info.out;

    const ToolRun demo = runTool({"demo", *scratch / "demo.wav", "--bars", "1", "--quiet"}, home, tool);
    EXPECT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_GT(fs::file_size(*scratch / "demo.wav"), 44u);
}

TEST_F(Package, Lv2lsFindsTheUnpackedBundle) {
    if (LV2LS_PATH[0] == '\0') GTEST_SKIP() << "lilv-utils is not installed";
    const ToolRun run = runTool({}, {{"LV2_PATH", root("usr/lib/lv2")}}, LV2LS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(("\n" + run.out).find(std::string("\n") + kUri + "\n"), std::string::npos) << run.out;
}

// Each NEEDED library of each binary, resolved as the loader resolves it,
// belongs to a package that Depends names.
TEST_F(Package, DependsNamesThePackageOfEveryLibraryItsBinariesNeed) {
    const ToolRun field = runTool({"-f", deb, "Depends"}, {}, "/usr/bin/dpkg-deb");
    ASSERT_EQ(field.exitCode, 0) << field.err;
    std::set<std::string> depends;
    const std::regex name(R"((^|,\s*)([a-z0-9][a-z0-9.+-]+))");
    for (std::sregex_iterator m(field.out.begin(), field.out.end(), name), end; m != end; ++m) depends.insert((*m)[2]);

    int libraries = 0;
    for (const char* binary :
         {"usr/bin/dravelkint", "usr/lib/vst/dravelkint.so", "usr/lib/lv2/dravelkint.lv2/dravelkint_lv2.so"}) {
        const ToolRun dynamic = runTool({"-d", root(binary)}, {}, "/usr/bin/readelf");
        ASSERT_EQ(dynamic.exitCode, 0) << dynamic.err;
        std::set<std::string> needed;
        const std::regex entry(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
        for (std::sregex_iterator m(dynamic.out.begin(), dynamic.out.end(), entry), end; m != end; ++m)
            needed.insert((*m)[1]);
        EXPECT_FALSE(needed.empty()) << binary;

        const ToolRun ldd = runTool({root(binary)}, {}, "/usr/bin/ldd");
        ASSERT_EQ(ldd.exitCode, 0) << ldd.err;
        for (const std::string& soname : needed) {
            std::smatch where;
            ASSERT_TRUE(std::regex_search(
                ldd.out, where,
                std::regex("\\s" + std::regex_replace(soname, std::regex(R"([.+])"), R"(\$&)") + R"( => (/\S+))")))
                << binary << " " << soname << "\n"
                << ldd.out;
            const ToolRun owner = runTool({"-S", fs::canonical(where[1].str()).string()}, {}, "/usr/bin/dpkg");
            ToolRun byLink = owner;
            if (owner.exitCode != 0) byLink = runTool({"-S", where[1].str()}, {}, "/usr/bin/dpkg");
            ASSERT_EQ(byLink.exitCode, 0) << soname << ": " << byLink.err;
            const std::string package = byLink.out.substr(0, byLink.out.find_first_of(":,"));
            EXPECT_TRUE(depends.count(package))
                << binary << " needs " << soname << " of " << package << ", which Depends does not name: " << field.out;
            ++libraries;
        }
    }
    EXPECT_GE(libraries, 3);
}

}  // namespace
