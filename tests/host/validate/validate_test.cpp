// `dravelkint validate` run as its users run it, with --json read back.
#include <gtest/gtest.h>

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

const std::string kBrokenDir = BROKEN_PLUGIN_DIR;
const std::string kThirdParty = "/usr/lib/vst/lsp-plugins/compressor-stereo.so";
const std::vector<std::string> kGroups{"load",      "identity",   "lifecycle", "grid",
                                       "transport", "parameters", "realtime",  "denormals"};

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
// warning, and checks this build cannot make.
bool acceptableForSoundPlugin(const Report& report, const std::string& id) {
    const std::string verdict = report.verdict(id);
    if (verdict == "PASS") return true;
    if (id == "denormals.tail-cost") return verdict == "WARN";
    if (!kAllocationsCounted && id.rfind("realtime.", 0) == 0 && contains(id, "allocations")) return verdict == "SKIP";
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

std::set<std::string> withGridRates(std::set<std::string> ids) {
    ids.insert(kGridRates.begin(), kGridRates.end());
    return ids;
}

TEST(Validate, EachBrokenPluginIsCaughtByItsCheckAndTheOthersGoOn) {
    const std::vector<BrokenCase> cases{
        {"broken-crashing.so", "10", {"identity.vendor"}, {}, {{"identity.vendor", {"dispatcher(effGetVendorString"}}}},
        {"broken-overrunning_texts.so",
         "5",
         {"identity.product", "identity.parameter-texts"},
         {"parameters.display-texts"},
         {{"identity.product", {"\"Bare effect\" has no terminating NUL"}},
          {"identity.parameter-texts", {"parameter 0 name", "writes 97 bytes where 9 are allowed"}},
          {"parameters.display-texts", {"\"half a signal\"", "writes 14 bytes where 9 are allowed"}}}},
        {"broken-overrunning_texts.so",
         "7",
         {"identity.product", "identity.parameter-texts", "parameters.display-texts"},
         {},
         {}},
        {"broken-hanging.so",
         "10",
         {"grid.rate-192000"},
         {},
         {{"grid.rate-192000",
           {"no answer within the group's time limit of 6 s", "in processReplacing(1 frame) at 192000 Hz"}}}},
        {"broken-allocating.so",
         "10",
         {"realtime.process-allocations"},
         {},
         {{"realtime.process-allocations", {"heap allocations in 48 processing calls"}}}},
        {"broken-sloppy_blocks.so",
         "10",
         withGridRates({"grid.zero-frames"}),
         {},
         {{"grid.rate-44100", {"wrote past the end of a 1-frame output block"}},
          {"grid.zero-frames", {"a block of 0 frames wrote into the output"}}}},
        {"broken-shared_state.so",
         "10",
         {"grid.two-instances"},
         {"grid.block-split"},
         {{"grid.two-instances", {"two instances given the same input differ"}}}},
        {"broken-block_ramps.so",
         "10",
         {},
         {"grid.block-split"},
         {{"grid.block-split", {"although the plug-in claims no latency"}}}},
        {"broken-unchecked_parameters.so",
         "5",
         {"parameters.read-back"},
         {"parameters.out-of-range"},
         {{"parameters.read-back", {"reads back 2, outside 0 to 1"}},
          {"parameters.out-of-range", {"non-finite output samples"}}}},
        {"broken-unchecked_parameters.so", "7", {"parameters.read-back", "parameters.out-of-range"}, {}, {}},
    };
    for (const BrokenCase& c : cases) {
        if (!kAllocationsCounted && c.failing.count("realtime.process-allocations") > 0) continue;
        SCOPED_TRACE(std::string(c.plugin) + " at strictness " + c.strictness);
        const Report report = validate(
            {"--plugin", kBrokenDir + "/" + c.plugin, "--strictness", c.strictness, "--seed", "5", "--timeout", "6"});
        EXPECT_EQ(report.withVerdict("FAIL"), c.failing);
        std::set<std::string> warnings = report.withVerdict("WARN");
        warnings.erase("denormals.tail-cost");
        EXPECT_EQ(warnings, c.warning);
        for (const auto& [id, parts] : c.saying)
            for (const std::string& part : parts) EXPECT_TRUE(contains(report.message(id), part)) << report.message(id);
        for (const auto& [id, check] : report.checks) {
            if (c.failing.count(id) > 0 || c.warning.count(id) > 0) continue;
            const std::string message = report.message(id);
            const bool cutShort = report.verdict(id) == "SKIP" && contains(message, "time limit of 6 s ran out");
            const bool aboveStrictness = report.verdict(id) == "SKIP" && contains(message, "needs strictness");
            EXPECT_TRUE(acceptableForSoundPlugin(report, id) || cutShort || aboveStrictness)
                << id << " " << report.verdict(id) << ": " << message;
        }
        EXPECT_EQ(report.exitCode, c.failing.empty() ? 0 : 5);
    }
}

TEST(Validate, OutputTurningNanFailsTheProcessingGrid) {
    const Report report = validate({"--plugin", kBrokenDir + "/broken-nan_output.so", "--strictness", "10"});
    for (const std::string rate : {"8000", "22050", "44100", "44123.45", "48000", "88200", "96000", "192000"}) {
        EXPECT_EQ(report.verdict("grid.rate-" + rate), "FAIL");
        EXPECT_TRUE(contains(report.message("grid.rate-" + rate), "non-finite output samples"));
    }
    for (const std::string& id : report.withVerdict("FAIL"))
        EXPECT_TRUE(contains(report.message(id), "non-finite")) << id;
    EXPECT_EQ(report.verdict("identity.parameter-texts"), "PASS");
    EXPECT_EQ(report.exitCode, 5);
}

TEST(Validate, AllocationsWarnBelowStrictness6AndFailFromIt) {
    if (!kAllocationsCounted) GTEST_SKIP() << "allocations are not counted under sanitizers";
    const std::string plugin = kBrokenDir + "/broken-allocating.so";
    const std::vector<std::pair<const char*, const char*>> expected{{"4", "WARN"}, {"5", "WARN"}, {"6", "FAIL"}};
    for (const auto& [strictness, verdict] : expected) {
        const Report report = validate({"--plugin", plugin, "--strictness", strictness, "--only", "realtime"});
        EXPECT_EQ(report.verdict("realtime.process-allocations"), verdict) << "strictness " << strictness;
        EXPECT_EQ(report.exitCode, std::string(verdict) == "FAIL" ? 5 : 0) << "strictness " << strictness;
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
    EXPECT_EQ(strict1.verdict("grid.rate-44100"), "SKIP");
    EXPECT_EQ(strict1.message("grid.rate-44100"), "needs strictness 2");
    EXPECT_EQ(strict1.verdict("identity.counts"), "PASS");
    EXPECT_EQ(strict1.document.at("strictness"), 1);
}

TEST(Validate, OnlyRunsTheChosenGroupsAfterLoading) {
    const Report report = validate({"--only", "identity,denormals"});
    std::set<std::string> groups;
    for (const auto& [id, check] : report.checks) groups.insert(check.at("group"));
    EXPECT_EQ(groups, (std::set<std::string>{"load", "identity", "denormals"}));
}

TEST(Validate, APluginThatDoesNotLoadFailsOnceAndNothingElseRuns) {
    const Report report = validate({"--plugin", "/nonexistent/plugin.so"});
    EXPECT_EQ(report.withVerdict("FAIL"), std::set<std::string>{"load.entry"});
    EXPECT_TRUE(contains(report.message("load.entry"), "/nonexistent/plugin.so"));
    EXPECT_EQ(report.withVerdict("PASS"), std::set<std::string>{});
    EXPECT_EQ(report.exitCode, 5);
}

TEST(Validate, TextReportHasOneLinePerCheckAndASummary) {
    const CommandRun text = run({"--only", "identity", "--seed", "9"});
    const Report json = validate({"--only", "identity", "--seed", "9"});
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.out.substr(start, end - start));
    ASSERT_EQ(lines.size(), json.checks.size() + 2);
    EXPECT_TRUE(contains(lines.front(), "seed 9"));
    std::size_t i = 1;
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
