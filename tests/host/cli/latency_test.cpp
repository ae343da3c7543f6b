// A plug-in's reported delay is cut from the start of the output and made up
// at the end, however and whenever the plug-in reports it, so the output
// lines up with the input sample for sample and is just as long.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

constexpr std::int64_t kFrames = 20000;

struct DelayCase {
    const char* plugin;
    std::int32_t block;
    const char* note;
};

// Each fixture passes its input through unchanged, only later.
const std::vector<DelayCase> kDelays{
    {"latency_at_open", 512, "delay of 480 samples was cut from the start and made up at the end"},
    {"latency_after_block", 512, "delay of 480 samples was cut"},
    {"latency_after_block", 37, "delay of 480 samples was cut"},
    {"latency_changing", 512,
     "delay of 300 samples was cut from the start and made up at the end (it "
     "changed 1 time while rendering)"},
    {"latency_changing", 1000, "delay of 300 samples"},
};

TEST(Latency, OutputLinesUpWithTheInputAndLosesNothing) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(kFrames, 2));
    const AudioData in = readAudio(dir / "in.wav");
    for (const DelayCase& c : kDelays) {
        SCOPED_TRACE(std::string(c.plugin) + " in blocks of " + std::to_string(c.block));
        const ToolRun run = runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", fixture(c.plugin),
                                     "--block", std::to_string(c.block), "--overwrite"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
        const AudioData out = readAudio(dir / "out.wav");
        ASSERT_EQ(out.info.frames, kFrames);
        EXPECT_EQ(out.samples, in.samples);
    }
}

TEST(Latency, CompensationCanBeTurnedOff) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(kFrames, 2));
    const ToolRun run = runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", fixture("latency_at_open"),
                                 "--no-latency-compensation"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("delay of 480 samples was left in the output (--no-latency-compensation)"),
              std::string::npos)
        << run.err;
    const AudioData in = readAudio(dir / "in.wav");
    const AudioData out = readAudio(dir / "out.wav");
    ASSERT_EQ(out.info.frames, kFrames);
    for (std::int64_t i = 0; i < 2 * 480; ++i) ASSERT_EQ(out.samples[i], 0.0f);
    for (std::int64_t i = 2 * 480; i < 2 * kFrames; ++i) ASSERT_EQ(out.samples[i], in.samples[i - 2 * 480]) << i;
}

TEST(Latency, InfoShowsTheDelayOnceProcessing) {
    const struct {
        const char* plugin;
        int opened;
        int processing;
    } cases[] = {{"latency_at_open", 480, 480}, {"latency_after_block", 0, 480}};
    for (const auto& c : cases) {
        const ToolRun run = runTool({"info", "--json", "--plugin", fixture(c.plugin)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json info = nlohmann::json::parse(run.out);
        EXPECT_EQ(info.at("latency"), c.processing) << c.plugin;
        EXPECT_EQ(info.at("latencyWhenOpened"), c.opened) << c.plugin;
        const ToolRun text = runTool({"info", "--plugin", fixture(c.plugin)});
        EXPECT_NE(text.out.find("Latency        480 samples"), std::string::npos) << text.out;
    }
}

}  // namespace
