// The LV2 stand-in plug-ins through render, each named by its bundle folder:
// a crash in run is named, NaN refused as from any plug-in, a feature the
// host lacks refused by name, a reported delay cut to the sample, the worker
// run between blocks, a side-chain fed from its file, the song's position
// sent so that a plug-in counting beats from it finds every one, and a
// property no port carries set by patch:Set as any parameter is.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

constexpr int kPlugin = 5;
constexpr int kCrash = 6;
constexpr std::int64_t kFrames = 8000;

std::string bundle(const std::string& name) { return std::string(LV2_FIXTURE_DIR) + "/" + name + ".lv2"; }

// The output expected from the stereo input and the mono side-chain file,
// both interleaved.
using Expected = std::function<std::vector<float>(const std::vector<float>& in, const std::vector<float>& key)>;

std::vector<float> same(const std::vector<float>& in, const std::vector<float>&) { return in; }

// Silence for the first `silent` frames, then the input times `gain`.
// The input times no gain (-0 where it is negative) for `silent` frames, then
// times `gain`.
Expected scaledAfter(std::int64_t silent, float gain) {
    return [=](const std::vector<float>& in, const std::vector<float>&) {
        std::vector<float> out(in.size());
        const std::size_t from = static_cast<std::size_t>(2 * silent);
        for (std::size_t i = 0; i < in.size(); ++i) out[i] = in[i] * (i < from ? 0.0f : gain);
        return out;
    };
}

// The input times `before` until `frame`, then times `after`.
Expected stepAt(std::int64_t frame, float before, float after) {
    return [=](const std::vector<float>& in, const std::vector<float>&) {
        std::vector<float> out(in.size());
        const std::size_t from = static_cast<std::size_t>(2 * frame);
        for (std::size_t i = 0; i < in.size(); ++i) out[i] = in[i] * (i < from ? before : after);
        return out;
    };
}

std::vector<float> plusKey(const std::vector<float>& in, const std::vector<float>& key) {
    std::vector<float> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = in[i] * 1.0f + key[i / 2];
    return out;
}

// The right channel NaN from frame 1000 on.
std::vector<float> nanFrom1000(const std::vector<float>& in, const std::vector<float>&) {
    std::vector<float> out = in;
    for (std::size_t i = 2 * 1000 + 1; i < out.size(); i += 2) out[i] = std::numeric_limits<float>::quiet_NaN();
    return out;
}

// Compared bit for bit, so that NaN equals itself.
std::vector<std::uint32_t> bits(const std::vector<float>& samples) {
    std::vector<std::uint32_t> out;
    for (float x : samples) out.push_back(std::bit_cast<std::uint32_t>(x));
    return out;
}

struct RenderCase {
    const char* what;
    const char* plugin;
    std::vector<std::string> args;  // after "render {dir}/in.wav {dir}/out.wav --plugin BUNDLE"
    Environment env;
    int exitCode;
    std::vector<const char*> messages;  // each found on standard error
    Expected expected;                  // none where nothing may be written
};

// Under the sanitizers the fixture's own crash is the point.
const Environment kCrashing{{"ASAN_OPTIONS", "detect_leaks=0:handle_segv=0"}};

const std::vector<RenderCase> kCases{
    {"a crash in run is named",
     "crash-in-run",
     {},
     kCrashing,
     kCrash,
     {"the plug-in crashed with SIGSEGV (segmentation fault) in run(512 frames) at 44100 Hz",
      "nothing was written to '{dir}/out.wav'"},
     {}},
    {"a crash at one block size is named with its frames",
     "crash-in-run",
     {"--block", "1000"},
     {{"DRAVELKINT_FIXTURE_CRASH_FRAMES", "1000"}, kCrashing[0]},
     kCrash,
     {"segmentation fault) in run(1000 frames) at 44100 Hz"},
     {}},
    {"a crash at a block size the render never uses is never met",
     "crash-in-run",
     {},
     {{"DRAVELKINT_FIXTURE_CRASH_FRAMES", "100"}},
     0,
     {},
     same},
    {"NaN refused",
     "nan-output",
     {},
     {},
     kPlugin,
     {"the output through NaN Output Fixture is unusable: 7000 of its 16000 samples are not numbers or infinite, the "
      "first at 0:00.023",
      "nothing was written to '{dir}/out.wav'; add --keep-bad-output to write it all the same"},
     {}},
    {"NaN kept when asked",
     "nan-output",
     {"--keep-bad-output"},
     {},
     0,
     {"warning: the output through NaN Output Fixture is unusable"},
     nanFrom1000},
    {"NaN only at another rate", "nan-output", {}, {{"DRAVELKINT_FIXTURE_NAN_RATE", "48000"}}, 0, {}, same},
    {"a feature no host has", "unknown-feature", {}, {}, kPlugin, {"urn:sorpenwalde:fixture:no-such-feature"}, {}},
    {"latency cut in whole blocks",
     "latency",
     {},
     {},
     0,
     {"delay of 64 samples was cut from the start and made up at the end"},
     same},
    {"latency cut in blocks shorter than the delay",
     "latency",
     {"--block", "37"},
     {},
     0,
     {"delay of 64 samples was cut"},
     same},
    // The response to the first block's work arrives between the first and
    // the second block.
    {"the worker runs between blocks",
     "worker",
     {"--block", "256", "--set", "Gain=0.5"},
     {},
     0,
     {},
     scaledAfter(256, 0.5f)},
    {"a side-chain input gets silence without a file", "sidechain", {}, {}, 0, {}, same},
    {"a side-chain input takes the side-chain file", "sidechain", {"--sidechain", "{dir}/key.wav"}, {}, 0, {}, plusKey},
    // The fixture's output is its input times Gain times Trim.
    {"a property set by patch:Set", "state-not-restored", {"--set", "Trim=0.25"}, {}, 0, {}, stepAt(0, 0.25f, 0.25f)},
    {"a property normalised beside a port",
     "state-not-restored",
     {"--set", "Gain=0.5", "--set-normalized", "Trim=0.5"},
     {},
     0,
     {},
     stepAt(0, 0.25f, 0.25f)},
    // Beat 1 at 600 BPM is frame 4410, the start of the eleventh block.
    {"a property automated",
     "state-not-restored",
     {"--block", "441", "--bpm", "600", "--automate", "Trim=0:1,1:1,1:0.25"},
     {},
     0,
     {},
     stepAt(4410, 1.0f, 0.25f)},
};

TEST(Lv2Fixtures, EachFaultIsTreatedAsFromAnyPlugin) {
    ScratchDirectory dir;
    const std::vector<float> in = testSignal(kFrames, 2, 1);
    const std::vector<float> key = testSignal(kFrames, 1, 7);
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, in);
    writeAudio(dir / "key.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, key);
    for (const RenderCase& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"render", dir / "in.wav", dir / "out.wav", "--plugin", bundle(c.plugin)};
        for (const std::string& a : c.args) args.push_back(dir.expand(a));
        const ToolRun run = runTool(args, c.env);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        for (const char* message : c.messages)
            EXPECT_NE(run.err.find(dir.expand(message)), std::string::npos) << run.err;
        if (!c.expected) {
            EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "key.wav"}));
            continue;
        }
        if (run.exitCode != 0) continue;
        const AudioData out = readAudio(dir / "out.wav");
        ASSERT_EQ(out.info.frames, kFrames);
        EXPECT_EQ(bits(out.samples), bits(c.expected(in, key)));
        std::filesystem::remove(dir / "out.wav");
    }
}

// The fixture writes 1 on the first sample of every beat it counts from the
// positions it is sent, 0 elsewhere.
TEST(Lv2Fixtures, TheSongsPositionFindsEveryBeat) {
    const struct {
        const char* bpm;
        double startBeat;
        int rate;
        const char* block;
    } cases[] = {
        {"120", 0.0, 44100, "512"},
        {"90", 0.0, 44100, "333"},
        {"90", 0.5, 48000, "4096"},
        {"90", 0.0, 8000, "1"},  // beats of 5333 1/3 frames
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bpm) + " BPM from beat " + std::to_string(c.startBeat) + " at " +
                     std::to_string(c.rate) + " Hz in blocks of " + c.block);
        ScratchDirectory dir;
        const std::int64_t frames = 3 * c.rate;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, c.rate, testSignal(frames, 2));
        const ToolRun run = runTool({"render", dir / "in.wav", dir / "out.wav", "--plugin", bundle("time-position"),
                                     "--bpm", c.bpm, "--start-beat", std::to_string(c.startBeat), "--block", c.block});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const AudioData out = readAudio(dir / "out.wav");
        ASSERT_EQ(out.info.frames, frames);

        const double framesPerBeat = 60.0 * c.rate / std::stod(c.bpm);
        std::vector<float> expected(static_cast<std::size_t>(2 * frames), 0.0f);
        for (double beat = std::ceil(c.startBeat);; beat += 1.0) {
            // The first frame at or past the beat; a beat on a frame falls on it.
            const auto first = static_cast<std::int64_t>(std::ceil((beat - c.startBeat) * framesPerBeat - 1e-6));
            if (first >= frames) break;
            expected[2 * first] = expected[2 * first + 1] = 1.0f;
        }
        EXPECT_EQ(out.samples, expected);
    }
}

// The fixture's bundle copied with more patch:writable properties beside its
// Trim, which it ignores, and a preset of two: each numeric one is a
// parameter on its own scale, the others none.
std::string bundleWithProperties(const ScratchDirectory& dir) {
    const std::filesystem::path copy = dir.path() / "properties.lv2";
    std::filesystem::copy(bundle("state-not-restored"), copy);
    const std::string data = (copy / "state_not_restored.ttl").string();
    writeBytes(data, readBytes(data) + R"(
<urn:test:count> a lv2:Parameter ; rdfs:label "Count" ; rdfs:range atom:Int ;
	lv2:default 3 ; lv2:minimum 1 ; lv2:maximum 8 .
<urn:test:wide> a lv2:Parameter ; rdfs:label "Wide" ; rdfs:range atom:Bool ; lv2:default false .
<urn:test:time> a lv2:Parameter ; rdfs:label "Time" ; rdfs:range atom:Double ;
	lv2:default 0.5 ; lv2:minimum 0.0 ; lv2:maximum 2.0 ;
	<http://lv2plug.in/ns/extensions/units#unit> <http://lv2plug.in/ns/extensions/units#s> .
<urn:test:file> a lv2:Parameter ; rdfs:label "File" ; rdfs:range atom:Path .
<urn:test:loose> a lv2:Parameter ; rdfs:label "Loose" ; rdfs:range atom:Float ; lv2:minimum 0.0 .
<urn:test:quiet> a <http://lv2plug.in/ns/ext/presets#Preset> ;
	lv2:appliesTo <urn:sorpenwalde:fixture:state-not-restored> ; rdfs:label "Quiet" ;
	state:state [ <urn:sorpenwalde:fixture:state-not-restored#trim> "0.125"^^<http://www.w3.org/2001/XMLSchema#float> ;
		<urn:test:count> 5 ] .
<urn:sorpenwalde:fixture:state-not-restored> patch:writable <urn:test:count>, <urn:test:wide>, <urn:test:time>,
	<urn:test:file>, <urn:test:loose> .
)");
    return copy.string();
}

// A port whose bounds are multiples of the sample rate (lv2:sampleRate):
// they hold at the rate the plug-in runs at, and its default is a value of
// its own, not clamped to the bare multiples.
TEST(Lv2Fixtures, BoundsGivenPerSampleRateHoldAtTheRate) {
    ScratchDirectory dir;
    const std::filesystem::path copy = dir.path() / "per-rate.lv2";
    std::filesystem::copy(bundle("good"), copy);
    const std::string data = (copy / "stereo_gain.ttl").string();
    std::string text = readBytes(data);
    const std::string from = "lv2:maximum 2.0";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(), "lv2:maximum 0.0001 ;\n\t\tlv2:portProperty lv2:sampleRate");
    writeBytes(data, text);
    const ToolRun run = runTool({"info", "--json", "--plugin", copy.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    const nlohmann::json& gain = info.at("ports").at(0);
    EXPECT_EQ(gain.at("default"), 1.0);
    EXPECT_NEAR(gain.at("maximum").get<double>(), 0.0001 * 44100.0, 1e-5);  // info opens it at 44.1 kHz
    EXPECT_EQ(gain.at("properties"), nlohmann::json::array({"bounds per sample rate"}));
    EXPECT_EQ(info.at("parameters").at(0).at("display"), "1");
}

// What info shows of the properties after the options, or the message that
// refuses them.
TEST(Lv2Fixtures, PropertiesAreParametersAfterThePorts) {
    ScratchDirectory dir;
    const std::string plugin = bundleWithProperties(dir);
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        std::vector<const char*> displays;  // Gain, Trim, Count, Time, Wide; or the message
    };
    const std::vector<Case> cases{
        {{}, 0, {"1", "1", "3", "0.5", "Off"}},
        {{"--set", "Trim=0.25", "--set", "count=8", "--set", "Time=1.5 s", "--set", "Wide=On"},
         0,
         {"1", "0.25", "8", "1.5", "On"}},
        {{"--set-normalized", "Trim=0.5", "--set-normalized", "Time=0.25"}, 0, {"1", "0.5", "3", "0.5", "Off"}},
        {{"--preset", "Quiet"}, 0, {"1", "0.125", "5", "0.5", "Off"}},
        {{"--set", "Count=7", "--preset", "Quiet"}, 0, {"1", "0.125", "7", "0.5", "Off"}},
        {{"--set", "Trim=2"}, 2, {"parameter 'Trim' cannot be set to '2': its range is 0 to 1"}},
        {{"--set", "Count=0"}, 2, {"parameter 'Count' cannot be set to '0'"}},
        {{"--set", "File=x"}, 2, {"unknown parameter 'File'; the plug-in has: Gain, Trim, Count, Time, Wide"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"info", "--json", "--plugin", plugin};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(c.options.empty() ? "defaults" : c.options.back());
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode != 0) {
            EXPECT_NE(run.err.find(c.displays.front()), std::string::npos) << run.err;
            continue;
        }
        const nlohmann::json info = nlohmann::json::parse(run.out);
        const nlohmann::json& parameters = info.at("parameters");
        ASSERT_EQ(parameters.size(), c.displays.size());
        for (std::size_t i = 0; i < c.displays.size(); ++i)
            EXPECT_EQ(parameters.at(i).at("display"), c.displays[i]) << parameters.at(i).at("name");
        EXPECT_EQ(parameters.at(3).at("label"), "s");
        const nlohmann::json& properties = info.at("properties");
        ASSERT_EQ(properties.size(), 4u);
        EXPECT_EQ(properties.at(0).at("uri"), "urn:sorpenwalde:fixture:state-not-restored#trim");
        EXPECT_EQ(properties.at(0).at("symbol"), "trim");
        EXPECT_EQ(properties.at(0).at("type"), "float");
        EXPECT_EQ(properties.at(0).at("setBy"), "patch:Set");
        EXPECT_EQ(info.at("ports").at(5).at("properties"), nlohmann::json::array({"patch:Message"}));
    }
}

}  // namespace
