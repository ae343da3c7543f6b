#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "automation_recording_host.h"
#include "host/automation/automation_file.h"
#include "host/automation/automation_text.h"
#include "host/song/tempo_map.h"
#include "host/text/failure.h"

using vsthost::Failure;
using vsthost::FailureKind;
using vsthost::KeyframeText;
using vsthost::LaneText;
using vsthost::TempoMap;

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kMix = 4;  // the plug-in answers Mix exactly as written

template <typename Call>
std::string refusal(Call call, FailureKind kind) {
    try {
        call();
    } catch (const Failure& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "accepted";
    return {};
}

#define EXPECT_REFUSED(call, kind, complaint)                                      \
    do {                                                                           \
        const std::string what = refusal([&] { (void)(call); }, kind);             \
        EXPECT_NE(what.find(complaint), std::string::npos) << "message: " << what; \
    } while (false)

struct LoadedForTest {
    vsthost::PluginModule module{DRAVELKINT_PLUGIN_PATH};
    vsthost::HostCallback host;
    vsthost::PluginInstance plugin{module, host};
};

}  // namespace

TEST(AutomationText, ReadsKeyframesOfOneParameter) {
    struct Case {
        const char* text;
        const char* parameter;
        std::vector<KeyframeText> keyframes;
    };
    const std::vector<Case> cases = {
        {"Mix=0:50,4:100", "Mix", {{0.0, "50"}, {4.0, "100"}}},
        {" Freq 1 = 0 : 200 , 8:2000 ", "Freq 1", {{0.0, "200"}, {8.0, "2000"}}},
        {"Mix=4:0n,4:1n", "Mix", {{4.0, "0n"}, {4.0, "1n"}}},
        {"Period=2.5:1/16", "Period", {{2.5, "1/16"}}},
        // Before beat 0 for a pre-roll; the render, knowing the start beat, decides.
        {"Mix=-4:0,-2:1/8.", "Mix", {{-4.0, "0"}, {-2.0, "1/8."}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LaneText lane = vsthost::parseAutomate(c.text);
        EXPECT_EQ(lane.parameter, c.parameter);
        ASSERT_EQ(lane.keyframes.size(), c.keyframes.size());
        for (std::size_t i = 0; i < lane.keyframes.size(); ++i) {
            EXPECT_EQ(lane.keyframes[i].beat, c.keyframes[i].beat);
            EXPECT_EQ(lane.keyframes[i].value, c.keyframes[i].value);
        }
    }
}

TEST(AutomationText, RefusesWhatIsNotAnAutomation) {
    struct Case {
        const char* text;
        const char* complaint;
    };
    for (const Case c : {Case{"Mix", "expected NAME=BEAT:VALUE"}, Case{"=0:1", "no parameter name"},
                         Case{"Mix=4", "'4' is not BEAT:VALUE"}, Case{"Mix=x:1", "'x' is not a beat number"},
                         Case{"Mix=4:", "no value after beat 4"}, Case{"Mix=0:1,", "'' is not BEAT:VALUE"},
                         Case{"Mix=8:1,4:2", "beat 4 comes after beat 8"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_REFUSED(vsthost::parseAutomate(c.text), FailureKind::usage, c.complaint);
        EXPECT_REFUSED(vsthost::parseAutomate(c.text), FailureKind::usage, "--automate");
    }
}

TEST(AutomationJson, ReadsKeyframesOfSeveralParameters) {
    const auto lanes = vsthost::parseAutomationJson(R"({
        "Mix": [{"beat": 0, "value": 25}, {"beat": 4, "value": "0.5n"}],
        "Period": [{"beat": 8, "value": "1/16"}]
    })",
                                                    "test");
    ASSERT_EQ(lanes.size(), 2u);
    const LaneText& mix = lanes[0].parameter == "Mix" ? lanes[0] : lanes[1];
    const LaneText& period = lanes[0].parameter == "Mix" ? lanes[1] : lanes[0];
    ASSERT_EQ(mix.keyframes.size(), 2u);
    EXPECT_EQ(mix.keyframes[0].beat, 0.0);
    EXPECT_EQ(mix.keyframes[0].value, "25");
    EXPECT_EQ(mix.keyframes[1].value, "0.5n");
    ASSERT_EQ(period.keyframes.size(), 1u);
    EXPECT_EQ(period.keyframes[0].beat, 8.0);
    EXPECT_EQ(period.keyframes[0].value, "1/16");
}

TEST(AutomationJson, RefusesFilesThatAreNotAutomation) {
    struct Case {
        const char* json;
        const char* complaint;
    };
    for (const Case c : {
             Case{"{\"Mix\": [{\"beat\": 0, ", "not readable as JSON"},
             Case{"", "not readable as JSON"},
             Case{"[]", "expected an object"},
             Case{"{}", "holds no parameters"},
             Case{R"({"Mix": 3})", "non-empty array"},
             Case{R"({"Mix": []})", "non-empty array"},
             Case{R"({"Mix": [{"beat": "4", "value": 1}]})", "beat \"4\" is not a number"},
             Case{R"({"Mix": [{"beat": 4}]})", "is not {\"beat\": B, \"value\": V}"},
             Case{R"({"Mix": [{"beat": 4, "value": 1, "curve": 2}]})", "is not {\"beat\": B, \"value\": V}"},
             Case{R"({"Mix": [{"beat": 4, "value": true}]})", "neither a number nor a text"},
             Case{R"({"Mix": [{"beat": 4, "value": 1}, {"beat": 2, "value": 0}]})", "beat 2 comes after beat 4"},
         }) {
        SCOPED_TRACE(c.json);
        EXPECT_REFUSED(vsthost::parseAutomationJson(c.json, "file 'a.json'"), FailureKind::input, c.complaint);
        EXPECT_REFUSED(vsthost::parseAutomationJson(c.json, "file 'a.json'"), FailureKind::input, "file 'a.json'");
    }
    EXPECT_REFUSED(vsthost::readAutomationFile("/nonexistent/automation.json"), FailureKind::input,
                   "cannot open automation file '/nonexistent/automation.json'");
}

TEST(AutomationOnThePlugin, ResolvesNamesAndDisplayValuesAndLeavesParametersAsTheyWere) {
    LoadedForTest t;
    const float periodBefore = t.plugin.parameter(0);
    const auto lanes = vsthost::resolveAutomation(
        t.plugin, {vsthost::parseAutomate("period=0:1/8,4:1/16"), vsthost::parseAutomate("Mix=2:0.25n")});
    ASSERT_EQ(lanes.size(), 2u);
    EXPECT_EQ(lanes[0].parameter, 0);
    ASSERT_EQ(lanes[0].keyframes.size(), 2u);
    // What the plug-in shows for the values found is what was asked for.
    t.plugin.setParameter(0, lanes[0].keyframes[0].value);
    EXPECT_EQ(t.plugin.parameterDisplay(0), "1/8");
    t.plugin.setParameter(0, lanes[0].keyframes[1].value);
    EXPECT_EQ(t.plugin.parameterDisplay(0), "1/16");
    EXPECT_EQ(lanes[1].parameter, kMix);
    EXPECT_EQ(lanes[1].keyframes[0].beat, 2.0);
    EXPECT_EQ(lanes[1].keyframes[0].value, 0.25f);

    LoadedForTest fresh;
    vsthost::resolveAutomation(fresh.plugin, {vsthost::parseAutomate("Period=0:1/8,4:1/16")});
    EXPECT_EQ(fresh.plugin.parameter(0), periodBefore);
}

// Keyframes repeat a few texts: each resolves as it would alone, and a text
// that lands on another display is noted once, a lane's notes capped.
TEST(AutomationOnThePlugin, RepeatedTextsResolveAsAloneAndAreNotedOnce) {
    LoadedForTest t;
    const std::vector<const char*> texts = {"0.5", "50%", "0.5", "1.5", "50%",  "2.5", "3.5",
                                            "4.5", "5.5", "6.5", "0.5", "0.3n", "0.3n"};
    LaneText lane{"Mix", {}};
    for (std::size_t i = 0; i < texts.size(); ++i) lane.keyframes.push_back({static_cast<double>(i), texts[i]});
    std::vector<std::string> notes;
    const auto lanes = vsthost::resolveAutomation(t.plugin, {lane}, &notes);
    ASSERT_EQ(lanes.at(0).keyframes.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        const auto alone = vsthost::resolveAutomation(t.plugin, {LaneText{"Mix", {{0.0, texts[i]}}}});
        EXPECT_EQ(lanes[0].keyframes[i].value, alone.at(0).keyframes.at(0).value);
        EXPECT_EQ(lanes[0].keyframes[i].beat, static_cast<double>(i));
    }
    // Seven texts land elsewhere: five named, the other two counted.
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[0],
              "note: automation of 'Mix' at beat 0: 0.5 landed on 0 %, the nearest setting the plug-in shows");
    EXPECT_NE(notes[1].find("at beat 3: 1.5 landed on 1 %"), std::string::npos) << notes[1];
    EXPECT_EQ(notes[5], "note: 2 more values in the automation of 'Mix' landed on another setting than typed");
}

TEST(AutomationOnThePlugin, RefusesUnknownParametersAndValuesNoSettingShows) {
    LoadedForTest t;
    struct Case {
        const char* text;
        const char* complaint;
    };
    for (const Case c :
         {Case{"Cutoff=0:100", "unknown parameter 'Cutoff'"}, Case{"Mix=0:50,4:500", "automation of 'Mix' at beat 4"},
          Case{"Mix=0:1.5n", "outside 0n to 1n"}, Case{"Mix=0:-0.5n", "outside 0n to 1n"},
          Case{"Period=0:1/5", "automation of 'Period' at beat 0"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_REFUSED(vsthost::resolveAutomation(t.plugin, {vsthost::parseAutomate(c.text)}), FailureKind::usage,
                       c.complaint);
    }
    EXPECT_REFUSED(
        vsthost::resolveAutomation(t.plugin, {vsthost::parseAutomate("Mix=0:50"), vsthost::parseAutomate("mix=4:100")}),
        FailureKind::usage, "'Mix' is automated twice");
}

TEST(AutomationRender, AStepAtBeatFourChangesExactlyOnTheSampleOfBeatFour) {
    struct Case {
        TempoMap tempo;
        std::int64_t beatFour;
    };
    // At 120 BPM beat 4 is 2 s in; slowing to 100 BPM at beat 2 moves it to
    // 1 s + 1.2 s; a start at beat 1 moves it half a second earlier.
    const std::vector<Case> cases = {{TempoMap(kRate, 120.0), 88200},
                                     {TempoMap(kRate, 120.0, {{2.0, 100.0}}), 97020},
                                     {TempoMap(kRate, 120.0, {}, 1.0), 66150}};
    const std::vector<float> input = noise(static_cast<std::size_t>(3.0 * kRate));
    for (const Case& c : cases) {
        for (const std::int32_t blockSize : {37, 512}) {
            SCOPED_TRACE(testing::Message() << "beat 4 at " << c.beatFour << ", blocks of " << blockSize);
            const Rendered run =
                renderThrough(input, kRate, blockSize, c.tempo, {vsthost::parseAutomate("Mix=0:0n,4:0n,4:1n")});
            bool blockAtBeatFour = false;
            for (const BlockStart& block : run.blocks) {
                EXPECT_EQ(block.parameters[kMix], block.sample < c.beatFour ? 0.0f : 1.0f) << "at " << block.sample;
                blockAtBeatFour = blockAtBeatFour || block.sample == c.beatFour;
            }
            EXPECT_TRUE(blockAtBeatFour);
            // Dry before the step, so the output is the input; wet from it on.
            for (std::int64_t n = 0; n < c.beatFour; ++n)
                for (int ch = 0; ch < 2; ++ch) ASSERT_EQ(run.output[2 * n + ch], input[n]) << "sample " << n;
            for (int ch = 0; ch < 2; ++ch) EXPECT_NE(run.output[2 * c.beatFour + ch], input[c.beatFour]);
        }
    }
}

TEST(AutomationRender, ARampRisesSteadilyInSteppedWritesAndEndsOnItsLastKeyframe) {
    const TempoMap tempo(kRate, 120.0);
    const std::int64_t from = 2 * 22050;  // beat 2
    const std::int64_t to = 6 * 22050;    // beat 6
    const Rendered run = renderThrough(std::vector<float>(static_cast<std::size_t>(3.5 * kRate), 0.0f), kRate, 1, tempo,
                                       {vsthost::parseAutomate("Mix=2:0.1n,6:0.9n")});
    ASSERT_EQ(run.blocks.size(), static_cast<std::size_t>(3.5 * kRate));
    std::int64_t lastChange = from;
    for (std::size_t n = 1; n < run.blocks.size(); ++n) {
        const auto s = static_cast<std::int64_t>(n);
        const float value = run.blocks[n].parameters[kMix];
        const float before = run.blocks[n - 1].parameters[kMix];
        ASSERT_GE(value, before) << "sample " << s;
        if (s <= from) {
            ASSERT_EQ(value, 0.1f) << "sample " << s;
        }
        if (s >= to) {
            ASSERT_EQ(value, 0.9f) << "sample " << s;
        } else {
            ASSERT_LT(value, 0.9f) << "sample " << s;
        }
        if (value != before) {
            // Written at most every 32 samples, on the grid or on a keyframe.
            EXPECT_TRUE(s % 32 == 0 || s == to) << "sample " << s;
            EXPECT_LE(s - lastChange, 32) << "sample " << s;
            lastChange = s;
            // Linear in the normalised value between the keyframes.
            EXPECT_NEAR(value, 0.1 + 0.8 * static_cast<double>(s - from) / static_cast<double>(to - from), 1e-6);
        }
    }
    EXPECT_EQ(lastChange, to);
}

TEST(AutomationRender, ARampInDisplayUnitsEndsShowingItsLastValue) {
    LoadedForTest t;
    const auto lanes = vsthost::resolveAutomation(t.plugin, {vsthost::parseAutomate("Freq 1=0:200,1:2000")});
    const TempoMap tempo(kRate, 120.0);
    const vsthost::AutomationPlan plan(tempo, lanes);
    t.plugin.setParameter(1, 0.5f);
    plan.play(0, 512, t.plugin);
    EXPECT_EQ(t.plugin.parameterDisplay(1), "200");
    plan.play(11008, 512, t.plugin);  // a grid sample half way
    const int halfWay = std::stoi(t.plugin.parameterDisplay(1));
    EXPECT_GT(halfWay, 1050);
    EXPECT_LT(halfWay, 1150);
    plan.play(22050, 512, t.plugin);
    EXPECT_EQ(t.plugin.parameterDisplay(1), "2000");
}

TEST(AutomationRender, TheSoundDoesNotDependOnTheBlockSize) {
    const TempoMap tempo(kRate, 128.0, {{3.0, 90.0}, {5.5, 140.0}});
    const std::vector<LaneText> automation = {
        vsthost::parseAutomate("Freq 1=0:200,2:2000,2:300,6.3:5000"), vsthost::parseAutomate("Mix=1:0.2n,7:1n"),
        vsthost::parseAutomate("Period=0:1/8,4:1/16"), vsthost::parseAutomate("Q=0:1.0,5:9.0")};
    const std::vector<float> input = noise(static_cast<std::size_t>(3.5 * kRate), 777);
    const Rendered one = renderThrough(input, kRate, 1, tempo, automation);
    for (const std::int32_t blockSize : {37, 512}) {
        SCOPED_TRACE(blockSize);
        const Rendered run = renderThrough(input, kRate, blockSize, tempo, automation);
        EXPECT_TRUE(run.output == one.output);
    }
}
