// `dravelkint validate` on LV2 plug-ins: each fault caught by its own check
// and by no other, on paper (the stand-in bundles and copies of the sound
// one with one fault written into their data) and at run time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

const std::string kBundles = LV2_FIXTURE_DIR;

// Under the sanitizers allocations and blocking calls are not counted: those
// checks skip, and what they would find is found by none.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCounted = false;
#else
constexpr bool kCounted = true;
#endif

std::set<std::string> whereCounted(const std::string& check) {
    return kCounted ? std::set<std::string>{check} : std::set<std::string>{};
}

struct Report {
    int exitCode;
    std::map<std::string, nlohmann::json> checks;  // by id
    std::set<std::string> with(const std::string& verdict) const {
        std::set<std::string> ids;
        for (const auto& [id, check] : checks)
            if (check.at("verdict") == verdict) ids.insert(id);
        return ids;
    }
};

Report validate(const std::string& bundle, const std::string& strictness, bool onlyPaper = true,
                const Environment& env = {}) {
    std::vector<std::string> args{"validate", bundle, "--strictness", strictness, "--seed", "1", "--json"};
    if (onlyPaper) args.insert(args.end(), {"--only", "paper"});
    const ToolRun run = runTool(args, env);
    Report report{run.exitCode, {}};
    const nlohmann::json document = nlohmann::json::parse(run.out);
    for (const auto& check : document.at("checks")) report.checks[check.at("id")] = check;
    return report;
}

// A copy of the sound bundle (or `source`) with `from` replaced by `to` in one of its files.
std::string faultyCopy(const ScratchDirectory& scratch, const std::string& file, const std::string& from,
                       const std::string& to, const std::string& source = "good") {
    const fs::path bundle = scratch.path() / "faulty.lv2";
    fs::copy(kBundles + "/" + source + ".lv2", bundle, fs::copy_options::recursive);
    std::ifstream in(bundle / file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from << " not in " << file;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    std::ofstream(bundle / file) << text;
    return bundle.string();
}

struct Case {
    const char* name;
    std::string file, from, to;  // the fault written into the good bundle; none when file is empty
    const char* strictness;
    std::set<std::string> failing;  // exactly these paper checks fail
    std::set<std::string> warning;  // and exactly these warn
};

const std::string kLatencyPort = "lv2:symbol \"latency\" ;";

TEST(ValidateLv2, EachFaultOnPaperIsCaughtByItsCheckAlone) {
    const std::vector<Case> cases{
        {"good", "", "", "", "10", {}, {}},
        {"bad-default", "", "", "", "10", {"paper.defaults"}, {}},
        {"missing-required-feature-data", "", "", "", "10", {"paper.required-features"}, {}},
        // Their faults show only when they run.
        {"crash-in-run", "", "", "", "10", {}, {}},
        {"nan-output", "", "", "", "10", {}, {}},
        // Where the manifest names none, lilv finds none either.
        {"no binary in the manifest",
         "manifest.ttl",
         "lv2:binary <good.so> ;",
         "",
         "10",
         {"paper.manifest", "paper.binary"},
         {}},
        {"a binary that is not there", "manifest.ttl", "<good.so>", "<gone.so>", "10", {"paper.binary"}, {}},
        {"a port without a name", "good.ttl", "lv2:name \"Latency\" ;", "", "10", {"paper.ports"}, {}},
        {"two ports with one symbol", "good.ttl", kLatencyPort, "lv2:symbol \"gain\" ;", "10", {"paper.ports"}, {}},
        {"a scale point out of range",
         "good.ttl",
         kLatencyPort,
         kLatencyPort + " lv2:scalePoint [ <http://www.w3.org/2000/01/rdf-schema#label> \"far\" ; "
                        "<http://www.w3.org/1999/02/22-rdf-syntax-ns#value> 3 ] ;",
         "10",
         {"paper.scale-points"},
         {}},
        {"a misspelt unit, as a warning",
         "good.ttl",
         kLatencyPort,
         kLatencyPort + " <http://lv2plug.in/ns/extensions/units#unit> <http://lv2plug.in/ns/extensions/units#Hz> ;",
         "5",
         {},
         {"paper.units"}},
        {"a misspelt unit, as a failure",
         "good.ttl",
         kLatencyPort,
         kLatencyPort + " <http://lv2plug.in/ns/extensions/units#unit> <http://lv2plug.in/ns/extensions/units#Hz> ;",
         "7",
         {"paper.units"},
         {}},
        {"extension data declared but not answered",
         "good.ttl",
         "lv2:extensionData state:interface",
         "lv2:extensionData state:interface , <http://lv2plug.in/ns/ext/worker#interface>",
         "10",
         {"paper.extension-data"},
         {}},
        {"extension data answered but not declared",
         "good.ttl",
         "lv2:extensionData state:interface ;",
         "",
         "10",
         {},
         {"paper.extension-data"}},
        {"a required feature no LV2 vocabulary defines",
         "good.ttl",
         "lv2:requiredFeature urid:map",
         "lv2:requiredFeature urid:map , <http://lv2plug.in/ns/ext/urid#mapp>",
         "10",
         {"paper.required-features"},
         {}},
        {"no class", "good.ttl", "a lv2:AmplifierPlugin ,", "a", "10", {}, {"paper.class"}},
        {"no licence",
         "good.ttl",
         "doap:license <http://opensource.org/licenses/mit> ;",
         "",
         "10",
         {},
         {"paper.licence"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScratchDirectory scratch;
        const std::string bundle =
            c.file.empty() ? kBundles + "/" + c.name + ".lv2" : faultyCopy(scratch, c.file, c.from, c.to);
        const Report report = validate(bundle, c.strictness);
        EXPECT_EQ(report.with("FAIL"), c.failing);
        EXPECT_EQ(report.with("WARN"), c.warning);
        EXPECT_EQ(report.exitCode, c.failing.empty() ? 0 : 7);
        EXPECT_EQ(report.checks.count("paper.licence"), 1u);
    }
}

// Every group, at the highest strictness: a fault that shows only when the
// plug-in runs fails its check alone, and the sound stand-in and
// Dravelkint's own plug-in pass everything.
TEST(ValidateLv2, EachFaultAtRunTimeIsCaughtByItsCheckAlone) {
    struct RunCase {
        std::string bundle;
        Environment env;
        std::set<std::string> failing;
        // Judged for the sound ones; the other stand-ins let a gain outside
        // its range through.
        std::optional<std::set<std::string>> warning = std::nullopt;
    };
    const std::string dravelkint = DRAVELKINT_LV2_BUNDLE;
    const std::vector<RunCase> cases{
        {"good", {}, {}, std::set<std::string>{}},
        {"dravelkint", {}, {}, std::set<std::string>{}},
        {"fine-control", {}, {}, std::set<std::string>{}},
        // A fade-in that depends on the cut until it is done is no damage.
        {"good", {{"DRAVELKINT_FIXTURE_FADE_IN", "20000"}}, {}, std::set<std::string>{}},
        // Declining an instance for short blocks is a limit, not a fault.
        {"good",
         {{"DRAVELKINT_FIXTURE_SMALLEST_BLOCK", "64"}},
         {},
         std::set<std::string>{"grid.block-sizes", "lifecycle.setup-states", "parameters.automation"}},
        {"crash-in-run", {{"DRAVELKINT_FIXTURE_CRASH_FRAMES", "16384"}}, {"grid.block-sizes"}},
        {"crash-in-run",
         {{"DRAVELKINT_FIXTURE_CRASH_FRAMES", "99999"}, {"DRAVELKINT_FIXTURE_CRASH_UNACTIVATED", "1"}},
         {"lifecycle.open-close"}},
        {"nan-output", {{"DRAVELKINT_FIXTURE_NAN_RATE", "8000"}}, {"grid.rate-8000"}},
        {"alloc-in-run", {}, whereCounted("realtime.process-allocations")},
        {"lock-in-run", {}, whereCounted("realtime.process-blocking")},
        {"wrong-latency", {}, {"features.latency"}},
        {"state-not-restored", {}, {"state.restore"}},
        {"in-place-broken-unsaid", {}, {"grid.in-place"}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.bundle);
        const Report report =
            validate(c.bundle == "dravelkint" ? dravelkint : kBundles + "/" + c.bundle + ".lv2", "10", false, c.env);
        EXPECT_EQ(report.with("FAIL"), c.failing);
        EXPECT_EQ(report.exitCode, c.failing.empty() ? 0 : 7);
        EXPECT_EQ(report.checks.count("grid.in-place"), 1u);
        if (c.warning) {
            EXPECT_EQ(report.with("WARN"), *c.warning);
        }
    }
}

// Each instance starts the C library's shared random numbers where a fresh
// process does: a plug-in drawing from rand() is compared with itself where a
// check changes one thing, and two instances drawing in turn share them.
TEST(ValidateLv2, APlugInDrawingFromTheSharedRandomNumbersIsComparedWithItself) {
    const Report report = validate(kBundles + "/good.lv2", "10", false, {{"DRAVELKINT_FIXTURE_RANDOM_NOISE", "1"}});
    const std::pair<const char*, std::string> expected[] = {
        {"grid.in-place", "PASS"}, {"grid.block-split", "PASS"}, {"grid.two-instances", "FAIL"}};
    for (const auto& [id, verdict] : expected) EXPECT_EQ(report.checks.at(id).at("verdict"), verdict) << id;
}

// The UI check on LV2 plug-ins: a UI opened and measured, a fault only it
// sees failing it (X errors from strictness 7), and UIs it cannot open skipped
// with the reason.
TEST(ValidateLv2, TheUiCheckOpensAnX11UiAndSeesItsFaults) {
    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "needs Xvfb";
    struct UiCase {
        const char* name;
        std::string bundle;  // a fixture, or x11-ui with `from` replaced by `to` in its data
        std::string from, to;
        Environment env;
        const char* strictness;
        const char* verdict;
        std::vector<std::string> saying;
    };
    const std::vector<UiCase> cases{
        {"sound", "x11-ui", "", "", {}, "10", "PASS", {"its window 240x120", "1 port write taken"}},
        {"no UI", "good", "", "", {}, "10", "PASS", {"no UI in its data"}},
        {"an X error at 7",
         "x11-ui-x-error",
         "",
         "",
         {},
         "7",
         "FAIL",
         {"1 X errors while the UI was open", "BadWindow"}},
        {"an X error below 7", "x11-ui-x-error", "", "", {}, "6", "WARN", {"1 X errors while the UI was open"}},
        {"the locale switched", "x11-ui-locale", "", "", {}, "2", "FAIL", {"the locale changed from"}},
        {"a crash in idle",
         "x11-ui",
         "",
         "",
         {{"DRAVELKINT_FIXTURE_UI_CRASH", "1"}},
         "2",
         "FAIL",
         // Which signal ends it depends on the build: a sanitizer aborts.
         {"crashed with", "in UI idle"}},
        {"a Gtk UI", "x11-ui", "a ui:X11UI", "a ui:GtkUI", {}, "10", "SKIP", {"its UIs are GtkUI"}},
        {"a feature not given",
         "x11-ui",
         "lv2:requiredFeature ui:parent",
         "lv2:requiredFeature <urn:sorpenwalde:nothing> , ui:parent",
         {},
         "10",
         "SKIP",
         {"requires urn:sorpenwalde:nothing, which this host does not give"}},
    };
    for (const UiCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ScratchDirectory scratch;
        const std::string bundle = c.from.empty() ? kBundles + "/" + c.bundle + ".lv2"
                                                  : faultyCopy(scratch, "x11_ui.ttl", c.from, c.to, c.bundle);
        const ToolRun run = runTool(
            {"validate", bundle, "--strictness", c.strictness, "--seed", "1", "--json", "--only", "editor"}, c.env);
        const nlohmann::json checks = nlohmann::json::parse(run.out).at("checks");
        const auto editor = std::find_if(checks.begin(), checks.end(), [](const nlohmann::json& check) {
            return check.at("id") == "editor.open-close";
        });
        ASSERT_NE(editor, checks.end());
        EXPECT_EQ(editor->at("verdict"), c.verdict);
        const std::string message = editor->at("message");
        for (const std::string& part : c.saying) EXPECT_NE(message.find(part), std::string::npos) << message;
        EXPECT_EQ(run.exitCode, std::string(c.verdict) == "FAIL" ? 7 : 0);
    }
}

}  // namespace
