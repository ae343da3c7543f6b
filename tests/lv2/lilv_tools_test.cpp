// The installed bundle as Debian's LV2 tools see it: lv2ls lists it, lv2info
// describes it, and lv2apply renders a file through it with the same bits as
// the VST 2.4 plug-in. The library exports its descriptor alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "audio_files.h"
#include "support/plugin_instance.h"
#include "support/wobble_setting.h"
#include "tool_process.h"

namespace {

constexpr const char* kUri = "urn:sorpenwalde:dravelkint";
const std::string kInstalled = DRAVELKINT_LV2_INSTALLED;
// The system's folder too, for the LV2 vocabulary that names the class.
const Environment kLv2Path{{"LV2_PATH", kInstalled + ":/usr/lib/lv2"}};

bool installed(const char* program) { return program[0] != '\0'; }

// Each run of blanks as one space.
std::string squeezed(const std::string& text) { return std::regex_replace(text, std::regex("[ \t]+"), " "); }

TEST(Lv2Tools, Lv2lsListsThePlugin) {
    if (!installed(LV2LS_PATH)) GTEST_SKIP() << "lilv-utils is not installed";
    const ToolRun run = runTool({}, kLv2Path, LV2LS_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(("\n" + run.out).find(std::string("\n") + kUri + "\n"), std::string::npos) << run.out;
}

TEST(Lv2Tools, Lv2infoDescribesThePluginAndEachPort) {
    if (!installed(LV2INFO_PATH)) GTEST_SKIP() << "lilv-utils is not installed";
    const ToolRun run = runTool({kUri}, kLv2Path, LV2INFO_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = squeezed(run.out);
    for (const std::string& line : std::vector<std::string>{
             "Name: Dravelkint", "Class: Lowpass Filter Plugin", "Author: Sorpenwalde", "Has latency: no",
             "Binary: file://" + kInstalled + "/dravelkint.lv2/dravelkint_lv2.so"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << run.out;

    const std::vector<std::vector<std::string>> ports{
        {"Symbol: period", "Name: Period", "Minimum: 0.000000", "Maximum: 11.000000", "Default: 6.000000",
         "lv2core#integer", "lv2core#enumeration", "0 = \"1/1\"", "6 = \"1/12\"", "7 = \"1/16\"", "11 = \"1/64\""},
        {"Symbol: freq1", "Name: Freq 1", "Minimum: 20.000000", "Maximum: 20000.000000", "Default: 500.000000"},
        {"Symbol: freq2", "Name: Freq 2", "Minimum: 20.000000", "Maximum: 20000.000000", "Default: 20000.000000"},
        {"Symbol: q", "Name: Q", "Minimum: 0.140000", "Maximum: 14.140000", "Default: 1.414000"},
        {"Symbol: mix", "Name: Mix", "Minimum: 0.000000", "Maximum: 100.000000", "Default: 100.000000"},
        {"lv2core#InputPort", "lv2core#AudioPort", "Symbol: in_left"},
        {"lv2core#InputPort", "lv2core#AudioPort", "Symbol: in_right"},
        {"lv2core#OutputPort", "lv2core#AudioPort", "Symbol: out_left"},
        {"lv2core#OutputPort", "lv2core#AudioPort", "Symbol: out_right"},
        {"lv2core#InputPort", "atom#AtomPort", "Symbol: transport", "lv2core#connectionOptional"},
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string head = "Port " + std::to_string(i) + ":";
        const std::size_t start = text.find(head);
        ASSERT_NE(start, std::string::npos) << head;
        const std::string block = text.substr(start, text.find("Port " + std::to_string(i + 1) + ":") - start);
        for (const std::string& line : ports[i]) EXPECT_NE(block.find(line), std::string::npos) << head << " " << line;
    }
    EXPECT_EQ(text.find("Port 10:"), std::string::npos);
}

// lv2info's summary has no line for the licence: its Turtle description of
// the plug-in (-p) carries it.
TEST(Lv2Tools, Lv2infoShowsTheLicenceAndEachPreset) {
    if (!installed(LV2INFO_PATH)) GTEST_SKIP() << "lilv-utils is not installed";
    const ToolRun run = runTool({kUri}, kLv2Path, LV2INFO_PATH);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::size_t start = run.out.find("Presets:");
    ASSERT_NE(start, std::string::npos) << run.out;
    std::set<std::string> listed;
    std::istringstream lines(run.out.substr(start + 8, run.out.find("Port 0:") - start - 8));
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t first = line.find_first_not_of(" \t"); first != std::string::npos)
            listed.insert(line.substr(first));
    EXPECT_EQ(listed, (std::set<std::string>{"Eighth-note wobble", "Slow whole-note sweep", "Triplet chop",
                                             "Subtle quarter-note movement", "Resonant sixteenth-note squelch"}))
        << run.out;

    ScratchDirectory dir;
    const ToolRun described = runTool({"-p", dir / "plugin.ttl", kUri}, kLv2Path, LV2INFO_PATH);
    ASSERT_EQ(described.exitCode, 0) << described.err;
    EXPECT_TRUE(std::regex_search(readBytes(dir / "plugin.ttl"),
                                  std::regex(R"(doap:license\s+<http://opensource.org/licenses/mit>)")))
        << readBytes(dir / "plugin.ttl");
}

// A library built with the address sanitizer needs its runtime, and only a
// host built with it can load the library.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(Lv2Library, ExportsTheDescriptorAloneAndNeedsOnlyTheRuntime) {
    const ToolRun symbols = runTool({"-D", "--defined-only", DRAVELKINT_LV2_LIBRARY}, {}, NM_PATH);
    ASSERT_EQ(symbols.exitCode, 0) << symbols.err;
    EXPECT_TRUE(std::regex_match(symbols.out, std::regex("[0-9a-f]+ T lv2_descriptor\n"))) << symbols.out;

    const ToolRun dynamic = runTool({"-d", DRAVELKINT_LV2_LIBRARY}, {}, READELF_PATH);
    ASSERT_EQ(dynamic.exitCode, 0) << dynamic.err;
    std::set<std::string> runtime{"libstdc++.so.6", "libm.so.6", "libgcc_s.so.1", "libc.so.6"};
    if (kSanitized) runtime.insert({"libasan.so.8", "libubsan.so.1"});
    const std::regex needed(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    int count = 0;
    for (std::sregex_iterator m(dynamic.out.begin(), dynamic.out.end(), needed), end; m != end; ++m, ++count)
        EXPECT_TRUE(runtime.count((*m)[1])) << "needs " << (*m)[1];
    EXPECT_GT(count, 0);
}

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = 8192;

// lv2apply runs one frame at a time and sends no position: the VST 2.4
// plug-in given one-frame blocks and no time answer does the same.
StereoBuffer vstAnsweringNoTime(const std::optional<std::array<float, 5>>& hostValues, const AudioData& input) {
    PluginLibrary library;
    RecordingHost host;
    host.answerTime = false;
    PluginInstance plugin(library, host);
    plugin.setSampleRate(static_cast<float>(kRate));
    if (hostValues)
        for (std::int32_t i = 0; i < 5; ++i) plugin.setParameter(i, (*hostValues)[i]);
    StereoBuffer in(kFrames), out(kFrames);
    in.left = input.channel(0);
    in.right = input.channel(1);
    for (std::int64_t i = 0; i < kFrames; ++i) {
        float* inputs[2] = {&in.left[i], &in.right[i]};
        float* outputs[2] = {&out.left[i], &out.right[i]};
        plugin.effect->processReplacing(plugin.effect, inputs, outputs, 1);
    }
    return out;
}

std::string exactly(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Where Freq 1 equals Freq 2 the cut-off holds still whatever the song does,
// so `dravelkint render` at its own tempo must give the same bits too.
TEST(Lv2Apply, RendersAsTheVstPlugin) {
    if (!installed(LV2APPLY_PATH)) GTEST_SKIP() << "lilv-utils is not installed";
    if (kSanitized) GTEST_SKIP() << "lv2apply cannot load a library built with the address sanitizer";
    struct Row {
        const char* name;
        std::optional<std::array<float, 5>> hostValues;  // none: every default
    };
    const Row rows[] = {
        {"the defaults", std::nullopt},
        {"a sweep", std::array<float, 5>{0.3f, 0.0625f, 0.25f, 0.3f, 0.6f}},
        {"a held cut-off at the highest Q", std::array<float, 5>{0.9f, 0.125f, 0.125f, 1.0f, 0.8f}},
        {"every lowest value", std::array<float, 5>{0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
    };
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, testSignal(kFrames, 2));
    const AudioData input = readAudio(dir / "in.wav");
    for (const Row& row : rows) {
        std::vector<std::string> args{"-i", dir / "in.wav", "-o", dir / "lv2.wav"};
        std::vector<std::string> render{
            "render", dir / "in.wav", dir / "vst.wav", "--plugin", DRAVELKINT_PLUGIN_PATH, "--overwrite", "--quiet"};
        if (row.hostValues) {
            const std::array<float, 5>& x = *row.hostValues;
            const WobbleSetting s = WobbleSetting::fromHost(static_cast<float>(kRate), {x[0], x[1], x[2], x[3], x[4]});
            const float ports[5] = {static_cast<float>(s.periodIndex), s.freq1, s.freq2, s.q,
                                    std::round(x[4] * 100.0f)};
            const char* symbols[5] = {"period", "freq1", "freq2", "q", "mix"};
            const char* names[5] = {"Period", "Freq 1", "Freq 2", "Q", "Mix"};
            for (int i = 0; i < 5; ++i) {
                args.insert(args.end(), {"-c", symbols[i], exactly(ports[i])});
                render.insert(render.end(), {"--set-normalized", std::string(names[i]) + "=" + exactly(x[i])});
            }
        }
        args.push_back(kUri);
        const ToolRun applied = runTool(args, kLv2Path, LV2APPLY_PATH);
        ASSERT_EQ(applied.exitCode, 0) << applied.err;
        const AudioData lv2 = readAudio(dir / "lv2.wav");
        const StereoBuffer vst = vstAnsweringNoTime(row.hostValues, input);
        EXPECT_TRUE(sameBits(lv2.channel(0), vst.left) && sameBits(lv2.channel(1), vst.right)) << row.name;

        if (!row.hostValues || (*row.hostValues)[1] != (*row.hostValues)[2]) continue;
        const ToolRun rendered = runTool(render);
        ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
        const AudioData viaRender = readAudio(dir / "vst.wav");
        EXPECT_TRUE(sameBits(lv2.channel(0), viaRender.channel(0)) && sameBits(lv2.channel(1), viaRender.channel(1)))
            << row.name << " against dravelkint render";
    }
}

}  // namespace
