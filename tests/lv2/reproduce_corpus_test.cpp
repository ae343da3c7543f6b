// scripts/reproduce-corpus.sh on a corpus run of stand-ins: each FAIL line is
// put to the probe mode that looks for its fault, and the table says whether
// the probe saw it, did not, or has no mode for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

}  // namespace

TEST(ReproduceCorpus, PutsEachFailToTheProbeThatLooksForIt) {
    const ScratchDirectory scratch;
    const fs::path out = scratch.path();
    fs::create_directories(out / "reports");
    const std::string nan = "urn:sorpenwalde:fixture:nan-output";
    const std::string good = "urn:sorpenwalde:fixture:good";
    const std::string shared = std::string(FIXTURE_DIR) + "/shared_state.so";
    write(out / "plugins.txt", "fixtures " + std::string(DRAVELKINT_LV2_FIXTURE_DIR) + " " + nan + "\nfixtures " +
                                   DRAVELKINT_LV2_FIXTURE_DIR + " " + good + "\n");
    write(out / "reports" / "nan.txt", "Validating " + nan +
                                           " at strictness 5\n"
                                           "FAIL  grid.rate-8000  NaN\n"
                                           "FAIL  identity.name   no name\n");
    // Whole blocks show nothing here, nor random cuts, nor memory never written.
    write(out / "reports" / "good.txt", "Validating " + good + " at strictness 5\nFAIL  grid.two-instances  differ\n");
    write(out / "reports" / "shared.txt",
          "Validating " + shared + " at strictness 5\nFAIL  grid.two-instances  differ\n");
    const ToolRun run = runTool({out.string()}, {{"DRAVELKINT_FIXTURE_NAN_RATE", "8000"}}, REPRODUCE_CORPUS_SCRIPT);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(out / "reproduced.md");
    const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string rows[] = {
        "| grid.rate-8000 | " + nan + " | 8000 Hz: NaN/Inf in output, the first at frame 1000 | yes |",
        "| identity.name | " + nan + " |  | not covered |",
        "| grid.two-instances | " + good +
            " | under valgrind's memcheck: nothing read before it was written, no access "
            "out of bounds | no |",
        "| grid.two-instances | " + shared + " | in turn, blocks of 512: ",
        "| grid.two-instances | 2 | 1 | 1 | 0 |",
    };
    for (const std::string& row : rows) EXPECT_NE(table.find(row), std::string::npos) << row << "\nin\n" << table;
}
