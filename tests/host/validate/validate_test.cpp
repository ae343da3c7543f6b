// `dravelkint validate` run as its users run it, with --json read back.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAllocationsCounted = false;
#else
constexpr bool kAllocationsCounted = true;
#endif

const std::string kFixtureDir = FIXTURE_DIR;
const std::string kThirdParty = "/usr/lib/vst/lsp-plugins/compressor-stereo.so";
const std::vector<std::string> kGroups{"load",     "identity",  "lifecycle", "grid",  "transport", "parameters",
                                       "realtime", "denormals", "input",     "state", "features",  "editor"};

using CommandRun = ToolRun;

CommandRun run(std::vector<std::string> args) {
    args.insert(args.begin(), "validate");
    return runTool(args);
}

struct Report {
    int exitCode;
    nlohmann::json document;
    std::map<std::string, nlohmann::json> checks;  // by id

    std::string verdict(const std::string& id) const { return checks.at(id).at("verdict"); }
    std::string message(const std::string& id) const { return checks.at(id).at("message"); }
    std::set<std::string> withVerdict(const std::string& verdict) const {
        std::set<std::string> ids;
        for (const auto& [id, check] : checks)
            if (check.at("verdict") == verdict) ids.insert(id);
        return ids;
    }
};

Report validate(std::vector<std::string> args) {
    args.push_back("--json");
    const CommandRun result = run(args);
    Report report{result.exitCode, nlohmann::json::parse(result.out), {}};
    for (const auto& check : report.document.at("checks")) report.checks[check.at("id")] = check;
    return report;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What may legitimately differ from PASS for a sound plug-in: a timing-based
// warning, checks of what it does not offer, and checks this build cannot make.
bool acceptableForSoundPlugin(const Report& report, const std::string& id) {
    const std::string verdict = report.verdict(id);
    if (verdict == "PASS") return true;
    if (id == "denormals.tail-cost") return verdict == "WARN";
    if (verdict == "SKIP" &&
        (id.rfind("features.", 0) == 0 || id.rfind("editor.", 0) == 0 || id.rfind("input.", 0) == 0)) {
        const std::string message = report.message(id);
        for (const char* reason : {"not offered", "no editor", "no audio inputs", "no X display"})
            if (contains(message, reason)) return true;
    }
    if (!kAllocationsCounted && (id == "realtime.process-blocking" || contains(id, "-allocations")))
        return verdict == "SKIP";
    return false;
}

TEST(Validate, DravelkintPassesEveryCheckAtStrictness10) {
    for (const char* seed : {"1", "2024"}) {
        const Report report = validate({"--strictness", "10", "--seed", seed});
        std::set<std::string> groups;
        for (const auto& [id, check] : report.checks) {
            groups.insert(check.at("group"));
            EXPECT_TRUE(acceptableForSoundPlugin(report, id))
                << "seed " << seed << ": " << id << " " << report.verdict(id) << ": " << report.message(id);
        }
        EXPECT_EQ(groups, std::set<std::string>(kGroups.begin(), kGroups.end()));
        EXPECT_EQ(report.exitCode, 0);
        EXPECT_EQ(report.document.at("summary").at("passed"), true);
    }
}

const std::vector<std::string> kGridRates{"grid.rate-8000",  "grid.rate-22050", "grid.rate-44100", "grid.rate-44123.45",
                                          "grid.rate-48000", "grid.rate-88200", "grid.rate-96000", "grid.rate-192000"};

struct BrokenCase {
    const char* plugin;
    const char* strictness;
    std::set<std::string> failing;                           // exactly these checks fail
    std::set<std::string> warning;                           // exactly these warn, apart from the timing-based one
    std::map<std::string, std::vector<std::string>> saying;  // what some of their messages say
};

const char* const kCallLimit = "4";

TEST(Validate, EachBrokenPluginIsCaughtByItsCheckAndTheOthersGoOn) {
    const std::vector<BrokenCase> cases{
        {"crashing.so", "10", {"identity.vendor"}, {}, {{"identity.vendor", {"dispatcher(effGetVendorString"}}}},
        {"overrunning_texts.so",
         "5",
         {"identity.product", "identity.parameter-texts"},
         {"parameters.display-texts"},
         {{"identity.product", {"\"Bare effect\" has no terminating NUL"}},
          {"identity.parameter-texts", {"parameter 0 name", "writes 97 bytes where 9 are allowed"}},
          {"parameters.display-texts", {"\"half a signal\"", "writes 14 bytes where 9 are allowed"}}}},
        {"overrunning_texts.so",
         "7",
         {"identity.product", "identity.parameter-texts", "parameters.display-texts"},
         {},
         {}},
        {"hanging.so",
         "10",
         {"grid.rate-192000"},
         {},
         {{"grid.rate-192000", {"no answer within 4 s, in processReplacing(512 frames) at 192000 Hz"}}}},
        {"allocating.so",
         "10",
         {"realtime.process-allocations"},
         {},
         {{"realtime.process-allocations", {"heap allocations in 48 processing calls"}}}},
        {"sloppy_blocks.so",
         "10",
         {"grid.block-sizes", "grid.zero-frames"},
         {},
         {{"grid.block-sizes", {"wrote past the end of a 1-frame output block"}},
          {"grid.zero-frames", {"a block of 0 frames wrote into the output"}}}},
        // Its state, shared or not, keeps a NaN once it has one.
        {"shared_state.so",
         "10",
         {"grid.two-instances"},
         {"input.non-finite"},
         {{"grid.two-instances", {"give other output than each gives alone", "they share state"}},
          {"grid.block-split", {"cannot be compared"}},
          {"input.non-finite", {"after one block of NaN and infinite input", "silences it for good"}}}},
        {"block_ramps.so",
         "10",
         {"grid.block-split"},
         {},
         {{"grid.block-split", {"at block boundaries, although the plug-in claims no latency"}}}},
        {"block_end_corruption.so",
         "10",
         {"grid.block-split"},
         {"input.non-finite"},
         {{"grid.block-split",
           {"cut into blocks of 441 where 4096 were announced, the output differs", "at frames 441-",
            "the first in a block of 441", "at block boundaries"}}}},
        {"announced_overread.so",
         "10",
         {"grid.block-sizes"},
         {},
         {{"grid.block-sizes", {"frames) at 44100 Hz, announced block 16384"}}}},
        // Values read back doubled: a host restoring what it read doubles the gain.
        {"unchecked_parameters.so",
         "5",
         {"parameters.read-back", "state.restore"},
         {"parameters.out-of-range"},
         {{"parameters.read-back", {"reads back 2, outside 0 to 1"}},
          {"parameters.out-of-range", {"non-finite output samples"}},
          {"state.restore", {"restored into a fresh instance sounds otherwise"}}}},
        {"unchecked_parameters.so", "7", {"parameters.read-back", "parameters.out-of-range", "state.restore"}, {}, {}},
        // Mended verdicts: what a careless validator faults, and how faults are named.
        {"random_by_design.so",
         "10",
         {},
         {},
         {{"grid.two-instances", {"random by design"}}, {"grid.block-split", {"random by design"}}}},
        {"nan_crashing.so",
         "5",
         {},
         {"parameters.out-of-range"},
         {{"parameters.out-of-range",
           {"in setParameter(0, nan) with every parameter set to nan", "(a failure from strictness 7)"}}}},
        {"nan_crashing.so", "7", {"parameters.out-of-range"}, {}, {}},
        {"unwritten_outputs.so",
         "10",
         {"grid.block-sizes"},
         {},
         {{"grid.block-sizes", {"outputs 2 to 4 (3 of 4) never written"}}}},
        {"throwing.so",
         "10",
         {"identity.vst-version"},
         {},
         {{"identity.vst-version", {"dispatcher(effGetVstVersion) threw version not decided yet"}}}},
        {"heap_damage.so",
         "5",
         {"grid.block-sizes"},
         {},
         {{"grid.block-sizes",
           {"crashed with SIGABRT (Aborted): the C library found its heap corrupted (\"free(): invalid pointer\")",
            "; the calls before: ", "processReplacing(16384 frames) at 44100 Hz"}}}},
        // The checks of what plug-ins offer besides processing.
        {"state_parameters_only.so",
         "10",
         {"state.restore"},
         {},
         {{"state.restore",
           {"saved as a bank chunk of 32 bytes and restored into a fresh instance sounds otherwise: by up to",
            "though every parameter reads back the same"}}}},
        // Checks that prove nothing say so.
        {"noise_generator.so",
         "10",
         {},
         {},
         {{"features.latency", {"as loud without input", "cannot be measured"}},
          {"state.restore", {"random by design"}},
          {"grid.block-split", {"random by design"}}}},
        {"instrument_without_notes.so",
         "10",
         {},
         {},
         {{"state.restore", {"both instances were silent", "proves nothing"}}}},
        {"lost_chunk.so",
         "10",
         {"state.restore"},
         {},
         {{"state.restore",
           {"saved as a bank chunk of 32 bytes", "1 of 1 parameters read back otherwise, the worst"}}}},
        {"stuck_programs.so",
         "10",
         {"state.programs"},
         {},
         {{"state.programs", {"effGetProgram answers 0 after program 1 was chosen (3 of 4 programs)"}}}},
        {"program_blowup.so",
         "10",
         {"state.programs-processing"},
         {},
         {{"state.programs-processing", {"non-finite output samples"}}}},
        {"double_unprocessed.so",
         "10",
         {"features.double-precision"},
         {},
         {{"features.double-precision", {"differs from the single-precision one"}}}},
        {"early_latency.so",
         "10",
         {"features.latency"},
         {},
         {{"features.latency", {"claims a latency of 512 frames, but an impulse comes out at frame 0"}},
          {"grid.block-split", {"claims a latency of 512 frames"}}}},
        {"fake_bypass.so",
         "10",
         {"features.bypass"},
         {},
         {{"features.bypass", {"differs from the input delayed by its latency of 0 frames"}}}},
        {"locale_changing.so",
         "10",
         {"lifecycle.locale"},
         {},
         {{"lifecycle.locale", {"changed from \"C\" to \"C.UTF-8\" when the plug-in was opened"}}}},
        {"crashing_editor.so", "10", {"editor.open-close"}, {}, {{"editor.open-close", {"in dispatcher(effEditOpen"}}}},
    };
    const bool display = std::filesystem::exists("/usr/bin/Xvfb");
    for (const BrokenCase& c : cases) {
        if (!kAllocationsCounted && c.failing.count("realtime.process-allocations") > 0) continue;
        if (!display && c.failing.count("editor.open-close") > 0) continue;
        SCOPED_TRACE(std::string(c.plugin) + " at strictness " + c.strictness);
        const Report report = validate({"--plugin", kFixtureDir + "/" + c.plugin, "--strictness", c.strictness,
                                        "--seed", "5", "--call-limit", kCallLimit});
        EXPECT_EQ(report.withVerdict("FAIL"), c.failing);
        std::set<std::string> warnings = report.withVerdict("WARN");
        warnings.erase("denormals.tail-cost");
        EXPECT_EQ(warnings, c.warning);
        for (const auto& [id, parts] : c.saying)
            for (const std::string& part : parts) EXPECT_TRUE(contains(report.message(id), part)) << report.message(id);
        for (const auto& [id, check] : report.checks) {
            if (c.failing.count(id) > 0 || c.warning.count(id) > 0 || c.saying.count(id) > 0) continue;
            const std::string message = report.message(id);
            const bool aboveStrictness = report.verdict(id) == "SKIP" && contains(message, "needs strictness");
            EXPECT_TRUE(acceptableForSoundPlugin(report, id) || aboveStrictness)
                << id << " " << report.verdict(id) << ": " << message;
        }
        EXPECT_EQ(report.exitCode, c.failing.empty() ? 0 : 7);
    }
}

TEST(Validate, EverythingAPluginOffersCanPass) {
    const Report report = validate({"--plugin", kFixtureDir + "/complete.so", "--strictness", "10", "--seed", "2",
                                    "--only", "state,features,editor"});
    const bool display = std::filesystem::exists("/usr/bin/Xvfb");
    for (const auto& [id, check] : report.checks)
        if (id != "load.entry" && !(id == "editor.open-close" && !display)) {
            EXPECT_EQ(report.verdict(id), "PASS") << id << ": " << report.message(id);
        }
    EXPECT_TRUE(contains(report.message("features.latency"),
                         "claims a latency of 64 frames; an impulse comes out "
                         "at frame 64"));
    EXPECT_TRUE(contains(report.message("features.bypass"), "delayed by its latency of 64 frames"));
    EXPECT_EQ(report.exitCode, 0);
}

TEST(Validate, ASlowPluginIsNoHang) {
    const Report report = validate(
        {"--plugin", kFixtureDir + "/slow.so", "--seed", "5", "--call-limit", "1", "--only", "lifecycle,parameters"});
    EXPECT_EQ(report.withVerdict("FAIL"), std::set<std::string>{});
    EXPECT_EQ(report.withVerdict("WARN"), std::set<std::string>{});
    // The loops stop when their time is spent, and say so.
    EXPECT_TRUE(contains(report.message("lifecycle.open-close"), "the check's 1.5 s ran out"))
        << report.message("lifecycle.open-close");
    EXPECT_EQ(report.exitCode, 0);
}

// The plug-in hangs in the first grid check's first processing call, and the
// call limit outlasts the overall one, so the overall limit runs out inside
// that check however fast the machine is.
TEST(Validate, TheOverallLimitCutsValidationShortWithoutBlame) {
    const Report report = validate({"--plugin", kFixtureDir + "/hanging_at_once.so", "--strictness", "10", "--seed",
                                    "5", "--only", "grid,transport", "--call-limit", "60", "--timeout", "6"});
    EXPECT_EQ(report.withVerdict("FAIL"), std::set<std::string>{});
    EXPECT_EQ(report.verdict("grid.block-sizes"), "SKIP");
    EXPECT_TRUE(contains(report.message("grid.block-sizes"),
                         "cut short by the overall time limit of 6 s, in processReplacing("))
        << report.message("grid.block-sizes");
    for (const char* check : {"grid.rate-192000", "transport.stopped"})
        EXPECT_EQ(report.message(check), "not run: the overall time limit of 6 s ran out") << check;
    // A run that did not finish proves nothing, though nothing failed.
    EXPECT_EQ(report.document.at("summary").at("passed"), false);
    EXPECT_EQ(report.document.at("summary").at("cutShort"),
              "the overall time limit of 6 s ran out before every check ran");
    EXPECT_EQ(report.exitCode, 8);

    const CommandRun text = run({"--plugin", kFixtureDir + "/complete.so", "--timeout", "0.001"});
    EXPECT_TRUE(contains(text.out, "\nCut short: the overall time limit of 0.001 s ran out before every check ran\n"))
        << text.out;
    EXPECT_TRUE(contains(text.out, ": validation INCOMPLETE, cut short by the overall time limit\n")) << text.out;
    EXPECT_EQ(text.exitCode, 8);
}

TEST(Validate, WithoutADisplayTheEditorIsSkippedAndSaysWhy) {
    const CommandRun result = runTool(
        {"validate", "--plugin", kFixtureDir + "/crashing_editor.so", "--only", "editor", "--seed", "5", "--json"},
        {{"PATH", "/nonexistent"}, {"DISPLAY", ""}});
    const nlohmann::json document = nlohmann::json::parse(result.out);
    const auto& editor = document.at("checks").at(1);
    EXPECT_EQ(editor.at("id"), "editor.open-close");
    EXPECT_EQ(editor.at("verdict"), "SKIP");
    EXPECT_EQ(editor.at("message"), "no X display: DISPLAY is not set and Xvfb is not installed (Debian package xvfb)");
    EXPECT_EQ(result.exitCode, 0);
}

TEST(Validate, ThePluginsOwnOutputIsKeptApartOnceALine) {
    const std::string plugin = kFixtureDir + "/throwing.so";
    const Report json = validate({"--plugin", plugin, "--seed", "5", "--only", "lifecycle"});
    const auto& groups = json.document.at("groups");
    ASSERT_EQ(groups.size(), 2u);
    const auto& lifecycle = groups.at(1);
    EXPECT_EQ(lifecycle.at("name"), "lifecycle");
    ASSERT_EQ(lifecycle.at("printed").size(), 1u);
    EXPECT_EQ(lifecycle.at("printed").at(0).at("line"), "bare: opened");
    EXPECT_GT(lifecycle.at("printed").at(0).at("times"), 100);
    const CommandRun text = run({"--plugin", plugin, "--seed", "5", "--only", "lifecycle"});
    EXPECT_FALSE(contains(text.out, "\033")) << "colours reach the report";
    const std::size_t apart = text.out.find("The plug-in printed");
    ASSERT_NE(apart, std::string::npos) << text.out;
    EXPECT_LT(text.out.rfind("PASS  "), apart) << "printed lines among the verdicts";
    EXPECT_TRUE(contains(text.out.substr(apart), "lifecycle  | bare: opened ("));
    EXPECT_EQ(text.err, "");
}

// Verdicts and messages, without the checks whose message carries a time.
std::map<std::string, std::string> linesOf(const Report& report) {
    std::map<std::string, std::string> lines;
    for (const auto& [id, check] : report.checks)
        if (id != "denormals.tail-cost" && id != "realtime.parameter-thread")
            lines[id] = check.at("verdict").get<std::string>() + "  " + check.at("message").get<std::string>();
    return lines;
}

std::map<std::string, std::string> linesOf(const std::string& text) {
    std::map<std::string, std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        // Findings besides the headline are indented under it.
        if (line.size() < 6 || line[0] == ' ' || line[4] != ' ' || line[5] != ' ') continue;
        const std::size_t idEnd = line.find(' ', 6);
        const std::string id = line.substr(6, idEnd - 6);
        if (id == "denormals.tail-cost" || id == "realtime.parameter-thread") continue;
        const std::size_t message = line.find_first_not_of(' ', idEnd);
        lines[id] = line.substr(0, 4) + "  " + line.substr(message);
    }
    return lines;
}

TEST(Validate, TheSameSeedGivesTheSameVerdictsInTextAndJson) {
    for (const char* plugin : {"shared_state.so", "nan_crashing.so", "complete.so"}) {
        const std::vector<std::string> args{
            "--plugin", kFixtureDir + "/" + plugin, "--seed", "11", "--strictness", "10",
            "--only",   "grid,parameters,state"};
        const Report json = validate(args);
        const CommandRun text = run(args);
        EXPECT_EQ(linesOf(text.out), linesOf(json)) << plugin;
        EXPECT_EQ(text.exitCode, json.exitCode) << plugin;
    }
}

TEST(Validate, EveryFindingIsKeptInJsonAndText) {
    const std::vector<std::string> args{"--plugin", kFixtureDir + "/sloppy_blocks.so", "--seed", "5", "--only", "grid"};
    const Report json = validate(args);
    const auto& findings = json.checks.at("grid.block-sizes").at("findings");
    // One for each block size written past, and the random sizes.
    ASSERT_GE(findings.size(), 7u) << findings;
    EXPECT_EQ(findings.at(0).at("message"), json.message("grid.block-sizes"));
    const CommandRun text = run(args);
    EXPECT_FALSE(contains(text.out, "more finding")) << text.out;
    for (std::size_t i = 1; i < findings.size(); ++i)
        EXPECT_TRUE(contains(text.out, "\n       FAIL  " + findings.at(i).at("message").get<std::string>() + "\n"))
            << findings.at(i) << text.out;
    EXPECT_EQ(json.checks.at("grid.rate-44100").at("findings").size(), 0u);
}

// The calls of a check that does not pass are kept, and made again exactly:
// the over-read crashes the replay as it crashed the check.
TEST(Validate, TheCallsOfAFindingAreKeptAndReplayed) {
    ScratchDirectory dir;
    const std::string plugin = kFixtureDir + "/announced_overread.so";
    const Report report =
        validate({"--plugin", plugin, "--seed", "5", "--only", "grid", "--save-sequences", dir / "calls"});
    const std::string calls = (dir.path() / "calls" / "grid.block-sizes.calls").string();
    EXPECT_TRUE(report.message("grid.block-sizes").ends_with("; its calls are in " + calls))
        << report.message("grid.block-sizes");
    // Checks that pass leave nothing.
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "calls" / "grid.rate-44100.calls"));
    const CommandRun crashed = run({"--replay", calls, plugin});
    // A SIGSEGV, or the sanitizer's report of the read.
    EXPECT_NE(crashed.exitCode, 0) << crashed.out << crashed.err;
    EXPECT_FALSE(contains(crashed.out, "Replayed")) << crashed.out;
    EXPECT_TRUE(contains(crashed.out, "Replaying the calls of check grid.block-sizes, seed 5")) << crashed.out;
    // The same calls into a plug-in that keeps to its blocks.
    const CommandRun sound = run({"--replay", calls, kFixtureDir + "/complete.so"});
    EXPECT_TRUE(contains(sound.out, "calls into 1 instances")) << sound.out << sound.err;
    EXPECT_EQ(sound.exitCode, 0);
    EXPECT_EQ(run({"--replay", plugin, plugin}).exitCode, 2);
}

TEST(Validate, OutputTurningNanFailsTheProcessingGrid) {
    const Report report = validate({"--plugin", kFixtureDir + "/nan_output.so", "--strictness", "10"});
    std::vector<std::string> processing = kGridRates;
    processing.push_back("grid.block-sizes");
    for (const std::string& id : processing) {
        EXPECT_EQ(report.verdict(id), "FAIL") << id;
        EXPECT_TRUE(contains(report.message(id), "non-finite output samples")) << id;
    }
    for (const std::string& id : report.withVerdict("FAIL"))
        EXPECT_TRUE(contains(report.message(id), "non-finite")) << id;
    EXPECT_EQ(report.verdict("identity.parameter-texts"), "PASS");
    EXPECT_EQ(report.exitCode, 7);
}

TEST(Validate, AllocationsWarnBelowStrictness6AndFailFromIt) {
    if (!kAllocationsCounted) GTEST_SKIP() << "allocations are not counted under sanitizers";
    const std::string plugin = kFixtureDir + "/allocating.so";
    const std::vector<std::pair<const char*, const char*>> expected{{"4", "WARN"}, {"5", "WARN"}, {"6", "FAIL"}};
    for (const auto& [strictness, verdict] : expected) {
        const Report report = validate({"--plugin", plugin, "--strictness", strictness, "--only", "realtime"});
        EXPECT_EQ(report.verdict("realtime.process-allocations"), verdict) << "strictness " << strictness;
        EXPECT_EQ(report.exitCode, std::string(verdict) == "FAIL" ? 7 : 0) << "strictness " << strictness;
    }
}

TEST(Validate, TheSameSeedGivesTheSameReport) {
    auto messages = [](const char* seed) {
        const Report report = validate({"--seed", seed, "--only", "grid,transport,parameters", "--strictness", "10"});
        std::map<std::string, std::string> lines;
        for (const auto& [id, check] : report.checks)
            lines[id] = check.at("verdict").get<std::string>() + " " + check.at("message").get<std::string>();
        return lines;
    };
    const auto first = messages("77");
    EXPECT_EQ(messages("77"), first);
    EXPECT_NE(messages("78"), first);
}

TEST(Validate, ChecksAboveTheStrictnessAreSkippedAndSaySo) {
    const Report strict1 = validate({"--strictness", "1", "--seed", "3"});
    for (const auto& [id, check] : strict1.checks) {
        const std::string message = check.at("message");
        if (check.at("verdict") == "SKIP") {
            EXPECT_TRUE(contains(message, "needs strictness ")) << id;
        }
    }
    EXPECT_EQ(strict1.verdict("grid.block-sizes"), "SKIP");
    EXPECT_EQ(strict1.message("grid.block-sizes"), "needs strictness 2");
    EXPECT_EQ(strict1.verdict("identity.counts"), "PASS");
    EXPECT_EQ(strict1.document.at("strictness"), 1);
}

TEST(Validate, OnlyRunsTheChosenGroupsAfterLoading) {
    const Report report = validate({"--only", "identity,denormals"});
    std::set<std::string> groups;
    for (const auto& [id, check] : report.checks) groups.insert(check.at("group"));
    EXPECT_EQ(groups, (std::set<std::string>{"load", "identity", "denormals"}));
}

TEST(Validate, AFileThatIsNoPluginIsRefusedWithoutAReport) {
    ScratchDirectory dir;
    writeBytes(dir / "notes.txt", "not a library");
    const std::vector<std::pair<std::string, std::string>> cases{
        {dir / "none.so", "cannot be opened: No such file or directory"},
        {dir / "notes.txt", "is not a loadable shared library"},
        {FIXTURE_NO_ENTRY_PATH, "exports neither VSTPluginMain nor main"},
    };
    for (const auto& [path, reason] : cases) {
        for (const bool json : {false, true}) {
            std::vector<std::string> args{"--plugin", path};
            if (json) args.push_back("--json");
            const CommandRun result = run(args);
            EXPECT_EQ(result.exitCode, 5) << path;
            EXPECT_EQ(result.out, "") << path;
            EXPECT_TRUE(contains(result.err, reason)) << result.err;
        }
    }
}

TEST(Validate, ACrashInTheEntryNamesTheEntryCalledAndKeepsWhatWasPrintedJustBefore) {
    const Report report = validate({"--plugin", kFixtureDir + "/entry_crashing.so", "--seed", "5"});
    EXPECT_EQ(report.verdict("load.entry"), "FAIL");
    // The sanitizers end the process themselves, after printing their own report.
    const std::string message = report.message("load.entry");
    EXPECT_TRUE(message.ends_with(", in main")) << message;
    const auto& printed = report.document.at("groups").at(0).at("printed");
    ASSERT_GE(printed.size(), 1u) << printed;
    EXPECT_EQ(printed.at(0).at("line"), "entry: about to crash");
    if (printed.size() == 1) {
        EXPECT_TRUE(message.ends_with("crashed with SIGSEGV (Segmentation fault), in main")) << message;
    }
    EXPECT_EQ(report.exitCode, 7);
}

TEST(Validate, ALibraryThatNoLongerLoadsFailsEachCheckLeftWithTheLoadersReason) {
    ScratchDirectory dir;
    const std::string copy = dir / "vanishing.so";
    std::filesystem::copy_file(kFixtureDir + "/vanishing.so", copy);
    const Report report = validate({"--plugin", copy, "--seed", "5", "--only", "identity"});
    std::size_t identityChecks = 0;
    for (const auto& [id, check] : report.checks) {
        if (check.at("group") != "identity") {
            EXPECT_NE(check.at("verdict"), "FAIL") << id;
            continue;
        }
        ++identityChecks;
        EXPECT_EQ(check.at("verdict"), "FAIL") << id;
        const std::string message = check.at("message");
        EXPECT_TRUE(message.starts_with("the library no longer loads: ") && contains(message, copy) &&
                    contains(message, "No such file or directory"))
            << id << ": " << message;
    }
    EXPECT_GT(identityChecks, 3u);
    EXPECT_EQ(report.document.at("summary").at("fail"), identityChecks);
    EXPECT_EQ(report.exitCode, 7);
}

// A result line for a check that does not exist, written by the plug-in
// where only the validator should write.
TEST(Validate, AResultLineThatDoesNotParseIsTheValidatorsOwnFault) {
    const CommandRun result =
        run({"--plugin", kFixtureDir + "/forging_results.so", "--seed", "5", "--only", "identity"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err,
                         "internal fault: the process running the load checks reported a result line "
                         "that does not parse: \"R\t999999\t0\t0.000\tforged\""))
        << result.err;
}

TEST(Validate, ARecordThatIsNoEffectFailsOnceAndNothingElseRuns) {
    const Report report = validate({"--plugin", FIXTURE_NULL_PATH});
    EXPECT_EQ(report.checks.size(), 1u);
    EXPECT_EQ(report.withVerdict("FAIL"), std::set<std::string>{"load.entry"});
    EXPECT_TRUE(contains(report.message("load.entry"), "answered its entry point with no effect"));
    EXPECT_EQ(report.document.at("summary").at("notRun"), "the plug-in gave no usable record");
    EXPECT_EQ(report.exitCode, 7);
}

TEST(Validate, TheReportSaysWhatThePluginIs) {
    const Report report = validate({"--only", "identity", "--seed", "9"});
    const auto& effect = report.document.at("effect");
    EXPECT_EQ(effect.at("name"), "Dravelkint");
    EXPECT_EQ(effect.at("id"), "kZrn");
    EXPECT_EQ(effect.at("inputs"), 2);
    EXPECT_EQ(effect.at("entry"), "VSTPluginMain");
    EXPECT_FALSE(effect.at("vendor").get<std::string>().empty());
    EXPECT_EQ(report.document.at("tool").at("name"), "dravelkint");
    for (const auto& check : report.document.at("checks")) EXPECT_GE(check.at("seconds"), 0.0);
}

TEST(Validate, TextReportHasOneLinePerCheckAndASummary) {
    const CommandRun text = run({"--only", "identity", "--seed", "9"});
    const Report json = validate({"--only", "identity", "--seed", "9"});
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.out.substr(start, end - start));
    // The heading, what the plug-in is, a line per check, the summary.
    ASSERT_EQ(lines.size(), json.checks.size() + 3);
    EXPECT_TRUE(contains(lines.front(), "seed 9"));
    EXPECT_TRUE(contains(lines[1], "Plug-in \"Dravelkint\""));
    // Dravelkint has one program: a count of one takes the singular.
    EXPECT_TRUE(lines[1].size() > 11 && lines[1].substr(lines[1].size() - 11) == ", 1 program") << lines[1];
    std::size_t i = 2;
    for (const auto& check : json.document.at("checks")) {
        const std::string expected = check.at("verdict").get<std::string>() + "  " + check.at("id").get<std::string>();
        EXPECT_EQ(lines[i].substr(0, expected.size()), expected);
        EXPECT_TRUE(contains(lines[i], check.at("message").get<std::string>()));
        ++i;
    }
    EXPECT_EQ(lines.back().rfind("Summary: " + std::to_string(json.checks.size()) + " checks", 0), 0u) << lines.back();
    EXPECT_EQ(text.exitCode, json.exitCode);
}

TEST(Validate, BadCommandLinesAreRefused) {
    const std::vector<std::vector<std::string>> cases{
        {"--strictness", "0"},
        {"--strictness", "11"},
        {"--strictness", "5x"},
        {"--seed", "-1"},
        {"--only", "grid,nonsense"},
        {"--timeout", "0"},
        {"--timeout", "inf"},
        {"--call-limit", "-1"},
        {"--json=yes"},
        {"--plugin"},
        {"--frobnicate"},
    };
    for (const auto& args : cases) {
        const CommandRun result = run(args);
        EXPECT_EQ(result.exitCode, 2) << args.front();
        EXPECT_EQ(result.out, "") << args.front();
    }
}

// A limit too long for the clock would put the deadline in the past and
// skip every check.
TEST(Validate, TimeLimitsPastAWeekAreRefused) {
    for (const char* option : {"--timeout", "--call-limit"}) {
        for (const char* seconds : {"1e10", "604800.5"}) {
            const CommandRun result = run({option, seconds});
            EXPECT_EQ(result.exitCode, 2) << option << " " << seconds;
            EXPECT_TRUE(contains(result.err, std::string("option ") + option +
                                                 " needs a number of seconds above 0 and at most 604800 (a week)"))
                << result.err;
        }
    }
}

TEST(Validate, AThirdPartyPluginIsValidatedAsABlackBox) {
    if (!std::filesystem::exists(kThirdParty)) GTEST_SKIP() << kThirdParty << " is not installed";
    const Report report = validate({"--plugin", kThirdParty, "--seed", "1"});
    EXPECT_EQ(report.verdict("load.entry"), "PASS");
    EXPECT_EQ(report.withVerdict("FAIL"), std::set<std::string>{});
    std::set<std::string> groups;
    for (const auto& [id, check] : report.checks) groups.insert(check.at("group"));
    EXPECT_EQ(groups, std::set<std::string>(kGroups.begin(), kGroups.end()));
    EXPECT_EQ(report.exitCode, 0);
}

}  // namespace

// A signal ends the validation where it stands: the report says what ran,
// the process that was running a check is gone with the plug-in it loaded,
// and the exit code says which signal it was.
TEST(Validate, ASignalEndsTheValidationAndItsProcesses) {
    const struct {
        int signal;
        int exitCode;
        const char* how;
    } signals[] = {{SIGTERM, 143, "stopped by SIGTERM"}, {SIGINT, 130, "interrupted by SIGINT"}};
    for (const auto& s : signals) {
        SCOPED_TRACE(s.how);
        // A copy of its own, so that no other test's processes share its path.
        ScratchDirectory dir;
        const std::string plugin = dir / "hangs.so";
        std::filesystem::copy_file(kFixtureDir + "/hanging_at_once.so", plugin);
        const ToolRun run =
            interruptOnTerminal({"validate", plugin, "--call-limit", "600"}, 200, "identity.unique-id", s.signal);
        EXPECT_EQ(run.exitCode, s.exitCode) << run.out;
        EXPECT_TRUE(contains(run.out, "Cut short: " + std::string(s.how) + " during the lifecycle checks; "))
            << run.out;
        EXPECT_TRUE(contains(run.out, " checks had run (load, identity)")) << run.out;
        EXPECT_TRUE(contains(run.out, "dravelkint: " + std::string(s.how) + " during the lifecycle checks")) << run.out;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string command = readBytes((entry.path() / "cmdline").string());
            EXPECT_FALSE(entry.is_directory() && contains(command, plugin)) << entry.path() << " still runs";
        }
    }
}
