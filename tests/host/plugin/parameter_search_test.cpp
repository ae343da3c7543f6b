// --set in display units: the search finds the normalised value at which the
// plug-in's own display shows the wanted value, for this plug-in's five
// parameters and for displays of other styles.
#include "host/plugin/parameter_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"
#include "host/text/failure.h"
#include "tool_process.h"

namespace {

using namespace vsthost;

struct Target {
    const char* name;
    const char* wanted;
    float normalized;  // what the plug-in reads back
    const char* display;
};

// The working values 1/8, 300 Hz, 2000 Hz, 4.0 and 50 %, as the plug-in maps
// them back to host values.
const std::vector<Target> kTargets{
    {"Period", "1/8", 5.0f / 11.0f, "1/8"},
    {"Freq 1", "300", (300.0f - 20.0f) / 19980.0f, "300"},
    {"Freq 2", "2000", (2000.0f - 20.0f) / 19980.0f, "2000"},
    {"Q", "4.0", (4.0f - 0.14f) / 14.0f, "4.000000"},
    {"Mix", "50", 0.5f, "50"},
};

TEST(ParameterSearch, DisplayValuesLandOnTheIntendedNormalisedValues) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    for (const Target& t : kTargets) {
        SCOPED_TRACE(t.name);
        const std::int32_t index = findParameter(plugin, t.name);
        setParameterByDisplay(plugin, index, t.wanted);
        EXPECT_EQ(plugin.parameter(index), t.normalized);
        EXPECT_EQ(plugin.parameterDisplay(index), t.display);
    }
}

TEST(ParameterSearch, ToolAppliesSettingsInDisplayUnits) {
    std::vector<std::string> args{"info", "--json", "--plugin", DRAVELKINT_PLUGIN_PATH};
    for (const Target& t : kTargets) args.insert(args.end(), {"--set", std::string(t.name) + "=" + t.wanted});
    const ToolRun run = runTool(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json info = nlohmann::json::parse(run.out);
    for (const Target& t : kTargets) {
        SCOPED_TRACE(t.name);
        const auto& parameters = info.at("parameters");
        const auto p = std::find_if(parameters.begin(), parameters.end(),
                                    [&](const nlohmann::json& j) { return j.at("name") == t.name; });
        ASSERT_NE(p, parameters.end());
        EXPECT_EQ(p->at("value").get<float>(), t.normalized);
        EXPECT_EQ(p->at("display").get<std::string>(), t.display);
    }
}

struct Refusal {
    const char* name;
    const char* wanted;
    const char* message;
};

TEST(ParameterSearch, UnreachableValuesNameTheRangeAndChangeNothing) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    const std::vector<Refusal> refusals{
        {"Freq 1", "50000", "its range is 20 to 20000"},
        {"Freq 2", "5", "its range is 20 to 20000"},
        {"Mix", "101", "its range is 0 to 100 %"},
        {"Q", "20", "its range is 0.14 to 14.14"},
        {"Period", "1/5", "it shows 1/1, 1/2, 1/3, 1/4, 1/6, 1/8, 1/12, 1/16, 1/24, 1/32, 1/48, 1/64"},
        {"Period", "1/128", "it shows 1/1, 1/2"},
        {"Mix", "loud", "give a number in %, as 50, 50 % or 50%; its range is 0 to 100 %"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(std::string(r.name) + "=" + r.wanted);
        const std::int32_t index = findParameter(plugin, r.name);
        const float before = plugin.parameter(index);
        try {
            setParameterByDisplay(plugin, index, r.wanted);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& f) {
            EXPECT_EQ(f.kind(), FailureKind::usage);
            EXPECT_NE(std::string(f.what()).find(r.message), std::string::npos) << f.what();
            EXPECT_NE(std::string(f.what()).find(r.name), std::string::npos) << f.what();
        }
        EXPECT_EQ(plugin.parameter(index), before);
    }
}

TEST(ParameterSearch, NamesMatchWithoutRegardToCaseAndSpacing) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    EXPECT_EQ(findParameter(plugin, "freq  1"), 1);
    EXPECT_EQ(findParameter(plugin, " MIX "), 4);
    try {
        findParameter(plugin, "Frequency");
        ADD_FAILURE() << "accepted";
    } catch (const Failure& f) {
        EXPECT_EQ(std::string(f.what()),
                  "unknown parameter 'Frequency'; the plug-in has: Period, Freq 1, Freq 2, Q, Mix");
    }
}

// Displays of other shapes: rounded with a unit, named settings (typed in
// full where the display cuts them short), falling numbers, numbers the
// display cannot be read as, and infinity.
TEST(ParameterSearch, WorksForDisplaysOfOtherStyles) {
    struct Style {
        const char* name;
        const char* wanted;
        const char* display;
        float low;  // the value found lies in [low, high]
        float high;
    };
    const std::vector<Style> styles{
        {"Gain", "-6", "-6.0", 0.7058f, 0.7100f},     {"Gain", "-6 dB", "-6.0", 0.7058f, 0.7100f},
        {"Gain", "-12.0", "-12.0", 0.4995f, 0.5025f}, {"Gain", "-inf", "-inf", 0.0f, 0.0f},
        {"Mode", "square", "Square", 0.45f, 0.55f},   {"Mode", "Sawtooth", "Sawtoot", 0.80f, 0.86f},
        {"Mode", "sawtoot", "Sawtoot", 0.80f, 0.86f}, {"Gain", "-inf dB", "-inf", 0.0f, 0.0f},
        {"Gain", "-Infinity", "-inf", 0.0f, 0.0f},    {"Time", "250", "250", 0.749f, 0.7501f},
        {"Time", "1000", "1000", 0.0f, 0.0f},         {"Ratio", "1:4", "1:4", 3.0f / 7.0f, 4.0f / 7.0f},
        {"Switch", "on", "on", 0.5f, 1.0f},
    };
    PluginModule module(FIXTURE_DISPLAYS_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    for (const Style& s : styles) {
        SCOPED_TRACE(std::string(s.name) + "=" + s.wanted);
        const std::int32_t index = findParameter(plugin, s.name);
        const float x = setParameterByDisplay(plugin, index, s.wanted);
        EXPECT_EQ(plugin.parameterDisplay(index), s.display);
        EXPECT_GE(x, s.low);
        EXPECT_LE(x, s.high);
    }
}

}  // namespace

// A text the display cuts short is matched only when it is long enough to
// have been cut: "Saw" is not "Sawtoot", nor "Squares" "Square" (too
// short to have been cut).
TEST(ParameterSearch, TextsCutShortAreMatchedOnlyInFull) {
    PluginModule module(FIXTURE_DISPLAYS_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    for (const auto& [name, wanted] :
         std::vector<std::pair<const char*, const char*>>{{"Mode", "Saw"}, {"Mode", "Squares"}}) {
        SCOPED_TRACE(wanted);
        const std::int32_t index = findParameter(plugin, name);
        const float before = plugin.parameter(index);
        EXPECT_THROW(setParameterByDisplay(plugin, index, wanted), Failure);
        EXPECT_EQ(plugin.parameter(index), before);
    }
}

// Among many names an unknown one is answered with the few nearest.
TEST(ParameterSearch, NearestNamesAreTheFewThatComeNear) {
    std::vector<std::string> names;
    for (int i = 1; i <= 320; ++i) names.push_back("Band " + std::to_string(i) + " Gain");
    names.insert(names.end(), {"Sidechain Source", "Output", "Outputs", "Input Trim"});
    struct Case {
        const char* typed;
        std::vector<std::string> near;
    };
    const std::vector<Case> cases{
        {"output", {"Output", "Outputs"}},
        {"Outptu", {"Output", "Outputs"}},
        {"sidechain", {"Sidechain Source"}},
        {"band 3 gian", {"Band 3 Gain", "Band 1 Gain", "Band 2 Gain", "Band 4 Gain", "Band 5 Gain"}},
        {"Resonance", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(nearestNames(names, c.typed, 5), c.near);
    }
}
