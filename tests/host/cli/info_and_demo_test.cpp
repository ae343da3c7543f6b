// The info and demo commands, and where the tool finds its plug-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

TEST(Info, DescribesThePluginAsAScannerSeesIt) {
    const ToolRun run = runTool({"info"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line : {"Effect name    Dravelkint", "Vendor         Sorpenwalde", "Product        Dravelkint",
                             "Unique ID      'kZrn' (0x6b5a726e)", "VST version    2400", "Inputs         2",
                             "Outputs        2", "Flags          CanReplacing", "Parameters     5"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

// A terminal shows "°C" in two columns, not three, and a name may be far
// longer than most: the table's columns stay in line whatever the texts, and
// the range is what the displays at either end show, where they are numbers.
TEST(Info, TheParameterTableLinesUpInColumns) {
    struct Case {
        const char* plugin;
        std::vector<std::string> displays;  // the header's, then each row's
        std::vector<std::string> ranges;    // each row's, "" for none
    };
    const std::vector<Case> cases{
        {FIXTURE_DISPLAYS_PATH,
         {"Display", "0.0", "Sine", "500", "1:1", "off"},
         {"-inf to 0", "", "1000 to 0", "", ""}},
        {FIXTURE_DIR "/overrunning_texts.so", {"Display", "half a signal"}, {""}},
        {DRAVELKINT_PLUGIN_PATH,
         {"Display", "1/8", "250", "4000", "4.000000", "100"},
         {"1/1 to 1/64", "20 to 20000", "20 to 20000", "0.14 to 14.14", "0 to 100"}},
    };
    const auto columnOf = [](const std::string& line, const std::string& text) {
        const std::string before = line.substr(0, line.find(text));
        std::size_t columns = 0;
        for (const char c : before)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
        return columns;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin);
        std::vector<std::string> args{"info", c.plugin};
        if (std::string(c.plugin) == DRAVELKINT_PLUGIN_PATH)
            args.insert(args.end(), {"--set", "Period=1/8", "--set", "Freq 1=250", "--set", "Freq 2=4000", "--set",
                                     "Q=4", "--set", "Mix=100"});
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::size_t header = run.out.find("  Index");
        ASSERT_NE(header, std::string::npos) << run.out;
        std::vector<std::string> rows;
        for (std::size_t at = header, end;
             rows.size() < c.displays.size() && (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
            rows.push_back(run.out.substr(at, end - at));
        ASSERT_EQ(rows.size(), c.displays.size()) << run.out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i]);
            EXPECT_EQ(columnOf(rows[i], c.displays[i]), columnOf(rows[0], "Display"));
            if (i == 0) continue;
            const std::string& range = c.ranges[i - 1];
            if (range.empty()) {
                // Nothing in its column: the whole row ends before it.
                EXPECT_LT(columnOf(rows[i], "\n"), columnOf(rows[0], "Range"));
            } else {
                EXPECT_EQ(rows[i].substr(rows[i].size() - range.size()), range);
                EXPECT_EQ(columnOf(rows[i], range), columnOf(rows[0], "Range"));
            }
        }
    }
}

TEST(Info, JsonHoldsIdentityAndTheParameterTable) {
    const ToolRun run = runTool({"info", "--json", "--plugin", DRAVELKINT_PLUGIN_PATH});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info.at("effectName"), "Dravelkint");
    EXPECT_EQ(info.at("vendor"), "Sorpenwalde");
    EXPECT_EQ(info.at("uniqueId"), "kZrn");
    EXPECT_EQ(info.at("vstVersion"), 2400);
    EXPECT_EQ(info.at("inputs"), 2);
    EXPECT_EQ(info.at("outputs"), 2);
    EXPECT_EQ(info.at("flags"), nlohmann::json::array({"CanReplacing"}));
    const std::vector<std::vector<std::string>> table{{"Period", "", "1/12"},
                                                      {"Freq 1", "", "500"},
                                                      {"Freq 2", "", "20000"},
                                                      {"Q", "", "1.414000"},
                                                      {"Mix", "%", "100"}};
    ASSERT_EQ(info.at("parameters").size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const nlohmann::json& p = info.at("parameters")[i];
        EXPECT_EQ(p.at("index"), i);
        EXPECT_EQ(p.at("name"), table[i][0]);
        EXPECT_EQ(p.at("display"), table[i][2]);
        // The frequencies' unit label is the effect's own choice.
        if (i != 1 && i != 2) {
            EXPECT_EQ(p.at("label"), table[i][1]);
        }
    }
    EXPECT_EQ(info.at("parameters")[0].at("value").get<float>(), 6.0f / 11.0f);
}

TEST(Demo, RendersEightBarsAtTheDemoTempo) {
    ScratchDirectory dir;
    const ToolRun wet = runTool({"demo", dir / "demo.wav", "--quiet"});
    ASSERT_EQ(wet.exitCode, 0) << wet.err;
    const ToolRun dry = runTool({"demo", dir / "dry.wav", "--dry", "--quiet"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    const AudioData demo = readAudio(dir / "demo.wav");
    const AudioData signal = readAudio(dir / "dry.wav");
    // 8 bars of 4 beats at 140 beats per minute.
    EXPECT_EQ(demo.info.frames, 604800);
    EXPECT_EQ(demo.info.channels, 2);
    EXPECT_EQ(demo.info.samplerate, 44100);
    EXPECT_EQ(signal.info.frames, demo.info.frames);
    float peak = 0.0f;
    double difference = 0.0;
    for (std::size_t i = 0; i < demo.samples.size(); ++i) {
        ASSERT_TRUE(std::isfinite(demo.samples[i]));
        peak = std::max(peak, std::abs(demo.samples[i]));
        difference += std::abs(demo.samples[i] - signal.samples[i]);
    }
    EXPECT_GT(peak, 0.1f);
    EXPECT_LT(peak, 1.0f);                                                   // plays without clipping
    EXPECT_GT(difference / static_cast<double>(demo.samples.size()), 0.01);  // the wobble is audible
}

TEST(Demo, DefaultOutputNameAndOverwrite) {
    ScratchDirectory dir;
    const std::string demo = dir / "dravelkint-demo.wav";
    writeBytes(demo, "older\n");
    ToolRun run = runTool({"demo", demo, "--bars", "1"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(readBytes(demo), "older\n");
    run = runTool({"demo", demo, "--bars", "1", "--overwrite"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("dravelkint: replaced '" + demo + "'"), std::string::npos) << run.err;
    EXPECT_EQ(readAudio(demo).info.frames, 75600);
}

// Laid out as installed, as a user's ~/.vst, and with nothing to find.
TEST(PluginLocation, BesideInstalledLibOrHome) {
    struct Layout {
        const char* what;
        const char* pluginAt;  // relative to the scratch root, or null
        int exitCode;
    };
    const std::vector<Layout> layouts{
        {"installed prefix", "prefix/lib/vst/dravelkint.so", 0},
        {"beside the executable", "prefix/bin/dravelkint.so", 0},
        {"user folder", "home/.vst/dravelkint.so", 0},
        {"nowhere", nullptr, 5},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.what);
        ScratchDirectory root;
        fs::create_directories(root.path() / "prefix/bin");
        fs::create_directories(root.path() / "home");
        fs::copy_file(DRAVELKINT_TOOL_PATH, root / "prefix/bin/dravelkint");
        if (l.pluginAt != nullptr) {
            fs::create_directories((root.path() / l.pluginAt).parent_path());
            fs::copy_file(DRAVELKINT_PLUGIN_PATH, root / l.pluginAt);
        }
        const ToolRun run = runTool({"info", "--json"}, {{"HOME", root / "home"}}, root / "prefix/bin/dravelkint");
        EXPECT_EQ(run.exitCode, l.exitCode) << run.err;
        if (l.pluginAt != nullptr)
            EXPECT_EQ(nlohmann::json::parse(run.out).at("path"), fs::canonical(root / l.pluginAt).string());
        else
            EXPECT_NE(run.err.find("the Dravelkint plug-in was not found"), std::string::npos) << run.err;
    }
}

}  // namespace

// An audio file where a plug-in was expected is described as audio.
TEST(Info, AudioFileIsDescribedAsAudio) {
    ScratchDirectory dir;
    writeAudio(dir / "song.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, testSignal(24000, 2), "A Song",
               "A Band");
    const ToolRun text = runTool({"info", dir / "song.flac"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    for (const char* line :
         {"Audio file     ", "Channels       2", "Sample rate    48000 Hz", "Length         24000 frames, 0.500 s",
          "Title          A Song", "Artist         A Band", "This is an audio file, not a plug-in"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    const ToolRun json = runTool({"info", "--json", dir / "song.flac"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out).at("frames"), 24000);
}
