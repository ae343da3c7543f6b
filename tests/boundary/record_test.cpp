// The record as a workstation sees it right after the entry point answers.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/opcodes.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"

namespace {

template <typename T>
T readAt(const AEffect* e, std::size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(e) + offset, sizeof v);
    return v;
}

TEST(Record, BytesAtEveryOffsetAfterTheEntryPointAnswers) {
    PluginLibrary lib;
    RecordingHost host;
    AEffect* e = lib.entry()(RecordingHost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(readAt<std::int32_t>(e, 0), 0x56737450);
    EXPECT_EQ(readAt<std::int32_t>(e, 4), 0);
    for (std::size_t offset : {8, 16, 24, 32, 120, 128}) EXPECT_NE(readAt<void*>(e, offset), nullptr) << offset;
    EXPECT_EQ(readAt<std::int32_t>(e, 40), 1);
    EXPECT_EQ(readAt<std::int32_t>(e, 44), 5);
    EXPECT_EQ(readAt<std::int32_t>(e, 48), 2);
    EXPECT_EQ(readAt<std::int32_t>(e, 52), 2);
    EXPECT_EQ(readAt<std::int32_t>(e, 56), 0x10);
    EXPECT_EQ(readAt<std::int32_t>(e, 60), 0);
    EXPECT_EQ(readAt<std::int64_t>(e, 64), 0);
    EXPECT_EQ(readAt<std::int64_t>(e, 72), 0);
    EXPECT_EQ(readAt<std::int32_t>(e, 80), 0);
    EXPECT_EQ(readAt<std::int32_t>(e, 84), 0);
    EXPECT_EQ(readAt<std::int32_t>(e, 88), 0);
    EXPECT_EQ(readAt<float>(e, 92), 1.0f);
    EXPECT_NE(readAt<void*>(e, 96), nullptr);
    EXPECT_EQ(readAt<void*>(e, 104), nullptr);
    EXPECT_EQ(readAt<std::int32_t>(e, 112), fourCharCode('k', 'Z', 'r', 'n'));
    EXPECT_EQ(readAt<std::int32_t>(e, 116), 1);
    for (std::size_t offset = 136; offset < 192; ++offset) EXPECT_EQ(readAt<unsigned char>(e, offset), 0) << offset;
    // Only the version query crossed the boundary.
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].effect, nullptr);
    EXPECT_EQ(host.calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(dispatch(e, effClose), 1);
}

}  // namespace
