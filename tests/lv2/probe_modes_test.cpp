// scripts/lv2-probe.sh's fault modes against the fixture bundles: each mode
// names the fault its fixture has (exit 1) and passes the good plug-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

struct ProbeCase {
    const char* name;
    std::vector<std::string> args;  // the mode and its values
    const char* fixture;
    Environment env;
    int exitCode;
    const char* verdict;  // what the line says after "URI: "
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class ProbeModes : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeModes, NameTheFaultOfTheirFixture) {
    const ProbeCase& c = GetParam();
    Environment env = c.env;
    env.emplace_back("LV2_PATH", DRAVELKINT_LV2_FIXTURE_DIR);
    const std::string uri = std::string("urn:sorpenwalde:fixture:") + c.fixture;
    std::vector<std::string> args = c.args;
    args.push_back(uri);
    const ToolRun run = runTool(args, env, LV2_PROBE_SCRIPT);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out, uri + ": " + c.verdict + "\n") << run.err;
}

const Environment kCrashAt31{{"DRAVELKINT_FIXTURE_CRASH_FRAMES", "31"}};
const Environment kNanAt8000{{"DRAVELKINT_FIXTURE_NAN_RATE", "8000"}};

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ProbeModes,
    testing::Values(
        ProbeCase{"blocks_crash_at_one_size",
                  {"--blocks", "30,31,32"},
                  "crash-in-run",
                  kCrashAt31,
                  1,
                  "31 frames: crashed in run (SIGSEGV); fine at 30, 32 frames"},
        ProbeCase{"blocks_good", {"--blocks", "1,31,4096"}, "good", kCrashAt31, 0, "fine at 1, 31, 4096 frames"},
        ProbeCase{"rates_nan_at_one_rate",
                  {"--rates", "7999,8000,48000"},
                  "nan-output",
                  kNanAt8000,
                  1,
                  "8000 Hz: NaN/Inf in output, the first at frame 1000; fine at 7999, 48000 Hz"},
        ProbeCase{"rates_good", {"--rates", "8000"}, "good", kNanAt8000, 0, "fine at 8000 Hz"},
        ProbeCase{"setup_nan_at_one_rate",
                  {"--setup"},
                  "nan-output",
                  {{"DRAVELKINT_FIXTURE_NAN_RATE", "22050"}},
                  1,
                  "NaN/Inf in output, the first at frame 1000 after 96000 Hz/4096 -> 22050 Hz/4096"},
        ProbeCase{"setup_good",
                  {"--setup"},
                  "good",
                  {},
                  0,
                  "25 changes of rate or block size with processing off, 25 instances in turn: output finite, peak "
                  "0.499996"},
        ProbeCase{"latency_wrong",
                  {"--latency"},
                  "wrong-latency",
                  {},
                  1,
                  "output peaks 64 frames after the impulse, the plug-in reports 32: disagree"},
        ProbeCase{"latency_right",
                  {"--latency"},
                  "latency",
                  {},
                  0,
                  "output peaks 64 frames after the impulse, the plug-in reports 64: agree"},
        ProbeCase{"latency_crash", {"--latency"}, "crash-in-run", {}, 1, "crashed in run (SIGSEGV)"},
        ProbeCase{"in_place_broken_unsaid",
                  {"--in-place"},
                  "in-place-broken-unsaid",
                  {},
                  1,
                  "in place differs by 0.061259 at most; does not claim lv2:inPlaceBroken"},
        ProbeCase{"in_place_good",
                  {"--in-place"},
                  "good",
                  {},
                  0,
                  "in place differs by 0 at most; does not claim lv2:inPlaceBroken"},
        ProbeCase{"state_not_restored",
                  {"--state"},
                  "state-not-restored",
                  {{"LV2_PROBE_SEED", "1"}},
                  1,
                  "restored instance differs by 0.388263 of the peak (-8 dB) after 8192 settling frames; 1 controls "
                  "and 1 patch parameters set"},
        ProbeCase{"state_good",
                  {"--state"},
                  "good",
                  {},
                  0,
                  "restored instance sounds the same; 1 controls and 0 patch parameters set"},
        ProbeCase{"alloc_in_run",
                  {"--alloc"},
                  "alloc-in-run",
                  {},
                  1,
                  "100 allocations and 100 frees in 100 runs of 512 frames (in 100 of them, the first run 1), 0 calls "
                  "that may block; claims lv2:hardRTCapable"},
        ProbeCase{"alloc_lock_in_run",
                  {"--alloc"},
                  "lock-in-run",
                  {},
                  1,
                  "0 allocations and 0 frees in 100 runs of 512 frames, 100 calls that may block (first: "
                  "pthread_mutex_lock); claims lv2:hardRTCapable"},
        ProbeCase{"alloc_good",
                  {"--alloc"},
                  "good",
                  {},
                  0,
                  "0 allocations and 0 frees in 100 runs of 512 frames, 0 calls that may block; claims "
                  "lv2:hardRTCapable"},
        ProbeCase{"two_good",
                  {"--two"},
                  "good",
                  {},
                  0,
                  "in turn, both instances give what they give alone; an instance made after another in one process "
                  "gives the same"},
        ProbeCase{"split_good", {"--split", "441"}, "good", {}, 0, "blocks of 441 give what whole blocks give"},
        ProbeCase{"unwritten_good",
                  {"--unwritten", "1,4096"},
                  "good",
                  {},
                  0,
                  "fine at 1, 4096 frames; random sizes below 4096: fine"},
        ProbeCase{"not_found", {"--alloc"}, "no-such-fixture", {}, 2, "not found"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

// --extension-data against the interfaces the data declares: one declared
// and not answered is the fault; one answered, or not declared, is not.
TEST(ProbeExtensionData, NamesAnInterfaceDeclaredButNotAnswered) {
    namespace fs = std::filesystem;
    const ScratchDirectory scratch;
    const fs::path bundle = scratch.path() / "good.lv2";
    fs::copy(std::string(DRAVELKINT_LV2_FIXTURE_DIR) + "/good.lv2", bundle, fs::copy_options::recursive);
    std::ofstream(bundle / "good.ttl", std::ios::app)
        << "<urn:sorpenwalde:fixture:good> lv2:extensionData <urn:sorpenwalde:nothing> .\n";
    const std::string uri = "urn:sorpenwalde:fixture:good";
    const struct {
        const char* asked;
        int exitCode;
        const char* verdict;
    } rows[] = {
        {"urn:sorpenwalde:nothing", 1, "urn:sorpenwalde:nothing declared, answers null"},
        {"http://lv2plug.in/ns/ext/state#interface,urn:sorpenwalde:other", 0,
         "http://lv2plug.in/ns/ext/state#interface declared, answered; urn:sorpenwalde:other not declared, answers "
         "null"},
    };
    for (const auto& row : rows) {
        const ToolRun run =
            runTool({"--extension-data", row.asked, uri}, {{"LV2_PATH", scratch.path().string()}}, LV2_PROBE_SCRIPT);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(run.out, uri + ": " + row.verdict + "\n") << run.err;
    }
}

}  // namespace
