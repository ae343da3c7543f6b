// LV2 plug-ins through the tool as a user names them: Dravelkint's LV2
// plug-in renders what its VST 2.4 plug-in renders, to the bit, at any block
// length and position in the song, with a Period set by its note value; info
// describes it; and bundles written here show what the host refuses, and
// that it says why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr const char* kUri = "urn:sorpenwalde:dravelkint";
constexpr int kPluginFailure = 5;

// The build lays the bundle out as installed: its parent folder is an LV2_PATH.
const Environment kLv2Path{{"LV2_PATH", DRAVELKINT_LV2_BUNDLE "/.."}};

struct Render {
    const char* name;
    std::vector<std::string> options;
    // 0: to the bit. Else the largest difference allowed where the two
    // formats take a value differently: the VST 2.4 plug-in through its 0 to
    // 1 scale, the LV2 plug-in as the value itself; the song's tempo as a
    // float in the LV2 position.
    float tolerance = 0.0f;
};

constexpr float kMinus100dB = 1e-5f;

const std::vector<Render> kRenders{
    {"defaults, block 1", {"--block", "1"}},
    {"defaults, block 333", {"--block", "333"}},
    {"defaults, block 4096", {"--block", "4096"}},
    {"tempo map off the grid, block 1", {"--block", "1", "--tempo-map", "0.5:90,2.25:150.5", "--start-beat", "0.37"}},
    {"tempo map off the grid, block 333",
     {"--block", "333", "--tempo-map", "0.5:90,2.25:150.5", "--start-beat", "0.37"}},
    {"tempo map off the grid, block 4096",
     {"--block", "4096", "--tempo-map", "0.5:90,2.25:150.5", "--start-beat", "0.37"}},
    {"Period 1/16 in 6/8, block 333",
     {"--block", "333", "--set", "Period=1/16", "--start-beat", "0.37", "--time-sig", "6/8", "--bpm", "97"}},
    {"Period 1/16, block 4096", {"--block", "4096", "--set", "Period=1/16", "--start-beat", "0.37"}},
    {"Period automated in steps, block 333", {"--block", "333", "--automate", "Period=0:1/8,1:1/16,2:1/4,2:1/32"}},
    {"typed values", {"--set", "Freq 1=300", "--set", "Q=4", "--set", "Mix=50%"}, kMinus100dB},
    {"ramps in typed values, block 4096",
     {"--block", "4096", "--automate", "Freq 1=0:300,3:2000", "--automate", "Q=0:1,3:8"},
     kMinus100dB},
    {"tempi a float does not hold", {"--tempo-map", "1:133.3,2.5:97.7"}, kMinus100dB},
};

float largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) largest = std::max(largest, std::fabs(a[i] - b[i]));
    return largest;
}

TEST(Lv2Plugin, RendersWhatTheVstPluginRendersToTheBit) {
    ScratchDirectory dir;
    // Long enough for the tempo changes and several Periods at each tempo.
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100 * 2, 2));
    for (const Render& r : kRenders) {
        SCOPED_TRACE(r.name);
        auto render = [&](const std::string& plugin, const std::string& out) {
            std::vector<std::string> args{"render",  dir / "in.wav", dir / out, "--overwrite",
                                          "--quiet", "--plugin",     plugin};
            args.insert(args.end(), r.options.begin(), r.options.end());
            const ToolRun run = runTool(args, kLv2Path);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            return readAudio(dir / out).samples;
        };
        const std::vector<float> vst = render(DRAVELKINT_PLUGIN_PATH, "vst.wav");
        ASSERT_FALSE(vst.empty());
        const std::vector<float> lv2 = render(kUri, "uri.wav");
        ASSERT_EQ(lv2.size(), vst.size());
        if (r.tolerance == 0.0f)
            EXPECT_EQ(lv2, vst);
        else
            EXPECT_LE(largestDifference(lv2, vst), r.tolerance);
        EXPECT_EQ(render(DRAVELKINT_LV2_BUNDLE, "bundle.wav"), lv2);
    }
}

TEST(Lv2Plugin, InfoDescribesItsPortsFeaturesAndPresets) {
    const ToolRun run = runTool({"info", "--json", "--plugin", kUri, "--set", "Freq 1=1234.5"}, kLv2Path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info.at("format"), "LV2");
    EXPECT_EQ(info.at("name"), "Dravelkint");
    EXPECT_EQ(info.at("uri"), kUri);
    EXPECT_EQ(info.at("author"), "Sorpenwalde");
    EXPECT_EQ(info.at("class"), "LowpassPlugin");  // its own data's, with no other bundle loaded
    EXPECT_EQ(info.at("inputs"), 2);
    EXPECT_EQ(info.at("outputs"), 2);
    EXPECT_EQ(info.at("latency"), 0);
    EXPECT_EQ(info.at("requiredFeatures"), nlohmann::json::array());
    EXPECT_NE(info.at("optionalFeatures").dump().find("urid#map"), std::string::npos);
    EXPECT_NE(info.at("presets").dump().find("Eighth-note wobble"), std::string::npos);

    const nlohmann::json& ports = info.at("ports");
    ASSERT_EQ(ports.size(), 10u);
    const nlohmann::json& period = ports.at(0);
    EXPECT_EQ(period.at("symbol"), "period");
    EXPECT_EQ(period.at("maximum"), 11.0);
    EXPECT_EQ(period.at("scalePoints").at(7), (nlohmann::json{{"value", 7.0}, {"label", "1/16"}}));
    EXPECT_EQ(ports.at(1).at("unit"), "Hz");
    EXPECT_EQ(ports.at(5).at("type"), "audio");
    EXPECT_EQ(ports.at(9).at("type"), "atom");
    EXPECT_NE(ports.at(9).at("properties").dump().find("time:Position"), std::string::npos);

    // The control inputs in index order, shown by label or number; a typed
    // number is the port's value itself.
    struct Shown {
        const char* name;
        const char* label;
        const char* display;
    };
    const std::vector<Shown> shown{
        {"Period", "", "1/12"}, {"Freq 1", "Hz", "1234.5"}, {"Freq 2", "Hz", "20000"},
        {"Q", "", "1.414"},     {"Mix", "%", "100"},
    };
    const nlohmann::json& parameters = info.at("parameters");
    ASSERT_EQ(parameters.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(parameters.at(i).at("name"), shown[i].name);
        EXPECT_EQ(parameters.at(i).at("label"), shown[i].label);
        EXPECT_EQ(parameters.at(i).at("display"), shown[i].display);
    }
}

TEST(Lv2Plugin, LoadsAPresetByNameOrUriBeforeTheSettings) {
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        std::vector<const char*> displays;  // Period, Freq 1, Freq 2, Q, Mix; or the message
    };
    const std::vector<Case> cases{
        {{"--set", "Mix=50", "--preset", "eighth-note WOBBLE"}, 0, {"1/8", "250", "4000", "4", "50"}},
        {{"--preset", "urn:sorpenwalde:dravelkint#eighth-wobble"}, 0, {"1/8", "250", "4000", "4", "100"}},
        {{"--preset", "Eighth"},
         2,
         {"preset 'Eighth' not found: the plug-in offers Eighth-note wobble, Resonant sixteenth-note squelch, "
          "Slow whole-note sweep, Subtle quarter-note movement, Triplet chop"}},
        {{"--preset", "Triplet chop", "--preset", "Eighth-note wobble"}, 2, {"--preset is given twice"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.back());
        std::vector<std::string> args{"info", "--json", "--plugin", kUri};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun run = runTool(args, kLv2Path);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode != 0) {
            EXPECT_NE(run.err.find(c.displays.front()), std::string::npos) << run.err;
            continue;
        }
        const nlohmann::json parameters = nlohmann::json::parse(run.out).at("parameters");
        for (std::size_t i = 0; i < c.displays.size(); ++i) EXPECT_EQ(parameters.at(i).at("display"), c.displays[i]);
    }
}

// A bundle of one plug-in described by `ports` and `more`. Its library is
// loaded only for a plug-in the host takes, so it need not exist.
std::string bundleWith(const ScratchDirectory& dir, const std::string& folder, const std::string& uri,
                       const std::string& more, const std::string& ports, const std::string& binary = "missing.so") {
    std::filesystem::create_directories(dir.path() / folder);
    writeBytes(dir / (folder + "/manifest.ttl"),
               "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
               "<" +
                   uri + "> a lv2:Plugin ; lv2:binary <" + binary +
                   "> ; <http://www.w3.org/2000/01/rdf-schema#seeAlso> "
                   "<plugin.ttl> .\n");
    writeBytes(dir / (folder + "/plugin.ttl"),
               "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
               "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
               "<" +
                   uri + "> a lv2:Plugin ; doap:name \"Stand-in\" " + more + " ; lv2:port " + ports + " .\n");
    return dir / folder;
}

const std::string kAudioPorts =
    "[ a lv2:AudioPort, lv2:InputPort ; lv2:index 0 ; lv2:symbol \"in\" ; lv2:name \"In\" ] ,"
    "[ a lv2:AudioPort, lv2:OutputPort ; lv2:index 1 ; lv2:symbol \"out\" ; lv2:name \"Out\" ]";

TEST(Lv2Plugin, RefusesWhatItCannotHostSayingWhy) {
    ScratchDirectory dir;
    struct Case {
        const char* name;
        std::string plugin;
        std::string message;
    };
    std::filesystem::create_directories(dir.path() / "empty");
    const std::string twoUris = bundleWith(dir, "two.lv2", "urn:test:one", "", kAudioPorts);
    writeBytes(dir / "two.lv2/manifest.ttl", readBytes(dir / "two.lv2/manifest.ttl") +
                                                 "<urn:test:two> a lv2:Plugin ; lv2:binary <missing.so> ; "
                                                 "<http://www.w3.org/2000/01/rdf-schema#seeAlso> <plugin.ttl> .\n");
    const std::vector<Case> cases{
        {"a feature no host has",
         bundleWith(dir, "feature.lv2", "urn:test:feature",
                    "; lv2:requiredFeature <urn:test:no-host-has-this>, <http://lv2plug.in/ns/ext/urid#map>",
                    kAudioPorts),
         "requires a feature this host does not provide: urn:test:no-host-has-this"},
        {"a port it cannot feed",
         bundleWith(dir, "port.lv2", "urn:test:port", "",
                    kAudioPorts + ", [ a <urn:test:OddPort>, lv2:InputPort ; lv2:index 2 ; lv2:symbol \"odd\" ; "
                                  "lv2:name \"Odd\" ]"),
         "has a port 'odd' of a type this host cannot feed (urn:test:OddPort)"},
        {"a library that is no LV2 plug-in",
         bundleWith(dir, "vst.lv2", "urn:test:vst", "", kAudioPorts, "file://" DRAVELKINT_PLUGIN_PATH),
         "LV2 plug-in 'urn:test:vst' made no instance at 44100 Hz"},
        {"a bundle of two", twoUris, "holds 2 plug-ins; name one by its URI: urn:test:"},
        {"a folder that is no bundle", dir / "empty", "is a folder but no LV2 bundle: it holds no manifest.ttl"},
        {"a URI not installed", "urn:sorpenwalde:dravelkin",
         "no LV2 plug-in has the URI 'urn:sorpenwalde:dravelkin' (looked in LV2_PATH=" DRAVELKINT_LV2_BUNDLE
         "/..); the nearest: urn:sorpenwalde:dravelkint"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = runTool({"info", "--plugin", c.plugin}, kLv2Path);
        EXPECT_EQ(run.exitCode, kPluginFailure);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

// Scripts name a port by its symbol, which no VST 2.4 plug-in has.
TEST(Lv2Plugin, SetsAPortBySymbol) {
    const ToolRun run = runTool({"info", kUri, "--json", "--set", "freq1=300"}, kLv2Path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info.at("parameters").at(1).at("display"), "300");
}

}  // namespace
