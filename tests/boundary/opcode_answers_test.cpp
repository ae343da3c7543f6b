// Every opcode a host can send, answered by the wobble through its record.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "frame/opcodes.h"
#include "frame/speaker_arrangement.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"

namespace {

struct Row {
    std::int32_t opcode;
    std::int32_t index;
    std::intptr_t value;
    bool buffer;  // pointer = an ample zeroed buffer, else null
    float opt;
    std::intptr_t answer;
};

constexpr std::intptr_t kHigh = std::intptr_t{1} << 32;

// Opcode 1 (close) is sent last, outside the table.
const Row kRows[] = {
    {0, 0, 0, false, 0, 0},
    {2, 0, 0, false, 0, 0},
    {2, 0, kHigh, false, 0, 0},
    {3, 0, 0, false, 0, 0},
    {4, 0, 0, true, 0, 0},
    {5, 0, 0, true, 0, 0},
    {6, 0, 0, true, 0, 0},
    {7, 1, 0, true, 0, 0},
    {8, 4, 0, true, 0, 0},
    {9, 0, 0, false, 0, 0},
    {10, 0, 0, false, 48000.0f, 0},
    {11, 0, 512, false, 0, 0},
    {12, 0, 0, false, 0, 0},
    {12, 0, 1, false, 0, 0},
    {12, 0, kHigh, false, 0, 0},
    {13, 0, 0, true, 0, 0},
    {14, 0, 0, true, 0, 0},
    {15, 0, 0, false, 0, 0},
    {16, 0, 0, false, 0, 0},
    {17, 0, 0, false, 0, 0},
    {18, 0, 0, false, 0, 0},
    {19, 0, 0, false, 0, 0},
    {20, 0, 0, false, 0, 0},
    {21, 0, 0, false, 0, 0},
    {22, 0, 0, false, 0, 0x4E764566},
    {23, 0, 0, true, 0, 0},
    {23, 1, 0, true, 0, 0},
    {24, 1, 100, true, 0, 0},
    {25, 0, 0, true, 0, 0},
    {26, 0, 0, false, 0, 1},
    {26, 4, 0, false, 0, 1},
    {26, 1000, 0, false, 0, 1},
    {26, -1, 0, false, 0, 1},
    {27, 0, 0, true, 0, 0},
    {28, 0, 0, false, 0, 0},
    {29, 0, 0, true, 0, 0},
    {30, 0, 0, false, 0, 0},
    {31, 0, 1, false, 0, 0},
    {32, 0, 1, false, 0, 0},
    {33, 0, 0, true, 0, 0},
    {34, 1, 0, true, 0, 0},
    {35, 0, 0, false, 0, 0},
    {36, 0, 0, false, 0, 0},
    {37, 0, 0, false, 0, 0},
    {38, 1, 1, true, 0, 0},
    {39, 0, 1, true, 0, 0},
    {40, 0, 1, true, 0, 0},
    {41, 0, 0, true, 0, 0},
    {42, 0, 0, true, 0, 0},
    {43, 256, 0, false, 48000.0f, 0},
    {44, 0, 1, false, 0, 0},
    {45, 0, 0, true, 0, 1},
    {45, 0, 0, false, 0, 0},
    {46, 0, 0, true, 0, 0},
    {47, 0, 0, true, 0, 1},
    {47, 0, 0, false, 0, 0},
    {48, 0, 0, true, 0, 1},
    {48, 0, 0, false, 0, 0},
    {49, 0, 0, false, 0, 0},
    {50, 7, kHigh, true, 1.0f, 0},
    {51, 0, 0, true, 0, 0},
    {51, 0, 0, false, 0, 0},
    {52, 0, 0, false, 0, 0},
    {53, 0, 0, false, 0, 0},
    {54, 0, 0, false, 0, 0},
    {55, 10, 20, false, 0, 0},
    {56, 0, 0, true, 0, 0},
    {57, 0, 0, false, 0, 0},
    {58, 0, 0, false, 0, 2400},
    {59, 65, 0x1234, false, 3.9f, 0},
    {60, 65, 0x1234, false, 3.9f, 0},
    {61, 0, 1, false, 0, 0},
    {62, 0, 0, true, 0, 0},
    {63, 0, 0, true, 0, -1},
    {63, 15, 0, false, 0, -1},
    {64, 0, 0, true, 0, 0},
    {65, 0, 0, false, 0, 0},
    {66, 0, 0, true, 0, 0},
    {67, 0, 0, false, 0, 0},
    {68, 0, 0, false, 0, 0},
    {69, 0, 0, false, 0, 0},
    {70, 0, 0, true, 0, 0},
    {70, 0, 0, false, 0, 0},
    {71, 0, 0, false, 0, 0},
    {72, 0, 0, false, 0, 0},
    {73, 0, 48000, false, 0, 48000},
    {73, 0, -5, false, 0, -5},
    {73, 0, 0x1FFFFFFFF, false, 0, -1},
    {73, 0, kHigh + 7, false, 0, 7},
    {74, 0, 1, false, 0.5f, 0},
    {75, 0, 0, true, 0, 0},
    {76, 0, 0, true, 0, 0},
    {77, 0, 1, false, 0, 0},
    {78, 0, 0, false, 0, 0},
    {79, 0, 0, false, 0, 0},
    {80, 0, 0, false, 0, 0},
    {1000, 0, 0, false, 0, 0},
    {-1, 0, 0, false, 0, 0},
};

TEST(OpcodeAnswers, EveryOpcodeAnswersAsTheWobbleMust) {
    PluginLibrary lib;
    RecordingHost host;
    AEffect* e = lib.entry()(RecordingHost::callback);
    ASSERT_NE(e, nullptr);
    alignas(16) unsigned char buffer[4096];
    std::set<std::int32_t> covered;
    for (const Row& row : kRows) {
        std::memset(buffer, 0, sizeof buffer);
        covered.insert(row.opcode);
        EXPECT_EQ(dispatch(e, row.opcode, row.index, row.value, row.buffer ? buffer : nullptr, row.opt), row.answer)
            << "opcode " << row.opcode << ", index " << row.index << ", value " << row.value
            << (row.buffer ? ", buffer" : ", null");
    }
    for (std::int32_t opcode = 0; opcode <= 79; ++opcode) {
        if (opcode != effClose) {
            EXPECT_EQ(covered.count(opcode), 1u) << "opcode " << opcode << " untested";
        }
    }
    // Nothing beyond the version query reached the host.
    EXPECT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(dispatch(e, effClose), 1);
}

TEST(OpcodeAnswers, SpeakerArrangementQueryWritesNullIntoBothLocations) {
    PluginLibrary lib;
    RecordingHost host;
    AEffect* e = lib.entry()(RecordingHost::callback);
    ASSERT_NE(e, nullptr);
    VstSpeakerArrangement held{};
    VstSpeakerArrangement* input = &held;
    VstSpeakerArrangement* output = &held;
    EXPECT_EQ(dispatch(e, effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    // One location only: the other is not written through.
    input = &held;
    EXPECT_EQ(dispatch(e, effGetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&input), nullptr), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(dispatch(e, effClose), 1);
}

}  // namespace
