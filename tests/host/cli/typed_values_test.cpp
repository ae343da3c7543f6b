// Values as a musician types them: units of the parameter's label and their
// multiples, note values with triplets and dots; anything else is refused
// with the forms that are taken, and a value that lands on another display
// says so.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

constexpr int kUsage = 2;

struct Landing {
    const char* typed;    // --set NAME=VALUE
    std::int32_t index;   // of the parameter
    const char* display;  // what it shows then
    const char* note;     // on standard error, "" for none
};

const std::vector<Landing> kLandings{
    {"Freq 2=20kHz", 2, "20000", ""},
    {"Freq 1=4 kHz", 1, "4000", ""},
    {"Freq 1=8kHz", 1, "8000", ""},
    {"Freq 1=1.5k", 1, "1500", ""},
    {"Freq 1=300 Hz", 1, "300", ""},
    {"Freq 1=300hz", 1, "300", ""},
    {"Period=1/8T", 0, "1/12", ""},
    {"Period=1/4T", 0, "1/6", ""},
    {"Period=1/16", 0, "1/16", ""},
    {"Period=2/16", 0, "1/8", ""},
    {"Period=1/2T", 0, "1/3", ""},
    {"Mix=50%", 4, "50", ""},
    {"Mix=50 %", 4, "50", ""},
    {"Q=4", 3, "4.000000", ""},
    {"Mix=0.5", 4, "0", "note: Mix=0.5 landed on 0 %, the nearest setting the plug-in shows"},
    {"Freq 1=300.7", 1, "301", "note: Freq 1=300.7 landed on 301 Hz"},
};

TEST(TypedValues, LandWhereAMusicianMeansThem) {
    for (const Landing& l : kLandings) {
        SCOPED_TRACE(l.typed);
        const ToolRun run = runTool({"info", "--json", "--set", l.typed});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json info = nlohmann::json::parse(run.out);
        EXPECT_EQ(info.at("parameters").at(l.index).at("display"), l.display);
        if (l.note[0] == '\0')
            EXPECT_EQ(run.err, "");
        else
            EXPECT_NE(run.err.find(l.note), std::string::npos) << run.err;
    }
}

struct Refusal {
    const char* typed;
    const char* message;
};

const std::vector<Refusal> kRefusals{
    {"Freq 2=300kHz", "parameter 'Freq 2' cannot be set to '300kHz': its range is 20 to 20000 Hz"},
    {"Freq 2=20 ms",
     "'ms' is not a unit it takes; give a number in Hz, as 300, 300 Hz, 1.5 kHz or 1.5k (range 20 to 20000 Hz)"},
    {"Q=4abc", "parameter 'Q' cannot be set to '4abc': 'abc' is not a unit it takes; give a plain number"},
    {"Q=99", "its range is 0.14 to 14.14"},
    {"Period=1/5", "it shows 1/1, 1/2, 1/3, 1/4, 1/6, 1/8, 1/12, 1/16, 1/24, 1/32, 1/48, 1/64"},
    {"Period=1/8x", "give a note value in whole numbers such as 1/8, 1/8T (a triplet) or 1/8. (dotted)"},
    // Dotted notes Dravelkint does not have, never read as the plain note.
    {"Period=1/8.", "cannot be set to '1/8.': no setting lasts 3/16 of a whole note; the nearest show 1/4 and 1/6"},
    {"Period=1/4.", "no setting lasts 3/8 of a whole note; the nearest show 1/2 and 1/3"},
    {"Period=1/16.", "no setting lasts 3/32 of a whole note; the nearest show 1/8 and 1/12"},
    {"Period=3/16", "no setting lasts 3/16 of a whole note; the nearest show 1/4 and 1/6"},
    {"Period=1/64.", "no setting lasts 3/128 of a whole note; the nearest show 1/32 and 1/48"},
    // A decimal in a note value is neither 1/8 nor a dotted 1/8.
    {"Period=1/8.0", "cannot be set to '1/8.0': give a note value in whole numbers"},
    {"Period=1.5/8", "cannot be set to '1.5/8': give a note value in whole numbers"},
    {"Mix=half", "give a number in %, as 50, 50 % or 50%; its range is 0 to 100 %"},
};

TEST(TypedValues, OtherTextIsRefusedWithTheFormsTaken) {
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.typed);
        const ToolRun run = runTool({"info", "--set", r.typed});
        EXPECT_EQ(run.exitCode, kUsage) << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
    }
}

// The same values in automation, on the command line and in a file.
TEST(TypedValues, AutomationTakesThemToo) {
    ScratchDirectory dir;
    writeBytes(dir / "lanes.json",
               R"({"Freq 1": [{"beat": 0, "value": "300 Hz"}, {"beat": 2, "value": "2.5kHz"}],
                   "Period": [{"beat": 0, "value": "1/8T"}]})");
    const ToolRun demo = runTool({"demo", dir / "in.wav", "--dry", "--bars", "1", "--quiet"});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const ToolRun run = runTool({"render", dir / "in.wav", dir / "out.wav", "--automation", dir / "lanes.json",
                                 "--automate", "Mix=0:50%,4:100 %", "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

}  // namespace
