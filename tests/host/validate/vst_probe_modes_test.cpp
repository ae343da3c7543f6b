// scripts/vst-probe.sh's modes against the stand-in plug-ins: each names the
// fault its fixture has (exit 1), passes the sound one, and says which
// library cannot be loaded (exit 2).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_process.h"

namespace {

struct ProbeCase {
    const char* name;
    std::vector<std::string> args;  // the mode and its values
    const char* fixture;
    int exitCode;
    const char* verdict;  // the start of what the line says after "PATH: "
    Environment env = {};
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class VstProbeModes : public testing::TestWithParam<ProbeCase> {};

TEST_P(VstProbeModes, NameTheFaultOfTheirFixture) {
    const ProbeCase& c = GetParam();
    const std::string library = std::string(FIXTURE_DIR) + "/" + c.fixture + ".so";
    std::vector<std::string> args = c.args;
    args.push_back(library);
    const ToolRun run = runTool(args, c.env, VST_PROBE_SCRIPT);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.out.rfind(library + ": " + c.verdict, 0), 0u) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, VstProbeModes,
    testing::Values(
        ProbeCase{"split_block_ends", {"--split", "441"}, "block_end_corruption", 1, "blocks of 441 differ by up to"},
        ProbeCase{"split_sound", {"--split", "441"}, "complete", 0, "blocks of 441 sound the same"},
        ProbeCase{"two_shared_state",
                  {"--two"},
                  "shared_state",
                  1,
                  "in turn, blocks of 512: first instance sounds as alone; second instance differs from alone"},
        ProbeCase{"two_sound",
                  {"--two"},
                  "complete",
                  0,
                  "in turn, blocks of 512: first instance sounds as alone; second instance sounds as alone"},
        ProbeCase{"blocks_over_read",
                  {"--blocks", "1465"},
                  "announced_overread",
                  1,
                  "1465 frames: crashed in processReplacing("},
        ProbeCase{"blocks_sound", {"--blocks", "1,1465"}, "complete", 0, "fine at 1, 1465 frames"},
        ProbeCase{"unwritten_outputs",
                  {"--unwritten", "64"},
                  "unwritten_outputs",
                  1,
                  "64 frames: outputs 2-4 (3 of 4) left unwritten"},
        ProbeCase{"rates_nan", {"--rates", "8000"}, "nan_output", 1, "8000 Hz: NaN/Inf in output"},
        ProbeCase{"bypass_sound", {"--bypass"}, "complete", 0, "effSetBypass answers"},
        ProbeCase{"two_random_cuts",
                  {"--two"},
                  "shared_state",
                  1,
                  "in turn, random blocks of 1 to 512 (seed 1): first instance differs from alone by up to",
                  {{"VST_PROBE_TWO_BLOCK", "random"}}},
        ProbeCase{
            "abort_quoted",
            {"--blocks", "9000"},
            "heap_damage",
            1,
            "9000 frames: crashed in processReplacing(9000 frames, 9000 announced) at frame 9000 (SIGABRT: "
            "\"free(): invalid pointer\"); the calls before: effMainsChanged(1) to switch on | processReplacing("},
        ProbeCase{"params_throwing",
                  {"--params"},
                  "throwing_in_call",
                  1,
                  "extremes: setParameter(0, 0) threw std::bad_alloc; automation: setParameter(0, ",
                  {{"DRAVELKINT_FIXTURE_FAIL_IN", "set-parameter"}}},
        ProbeCase{"params_sound",
                  {"--params"},
                  "complete",
                  0,
                  "extremes: fine at 0 and 1, all and each of 1 alone; automation: fine"},
        ProbeCase{"state_sounds_otherwise",
                  {"--state"},
                  "state_parameters_only",
                  1,
                  "draw 1 (seed 1): saved as a bank chunk of 32 bytes, restored: sounds otherwise by up to"},
        ProbeCase{"state_sound",
                  {"--state"},
                  "complete",
                  0,
                  "draw 1 (seed 1): saved as a bank chunk of 32 bytes, restored: sounds the same"},
        ProbeCase{"programs_stuck",
                  {"--programs"},
                  "stuck_programs",
                  1,
                  "effGetProgram answers 0 after program 1 was chosen, 0 after program 2"},
        ProbeCase{"no_entry", {"--two"}, "no_entry", 2, "cannot be loaded: neither VSTPluginMain nor main"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

}  // namespace
