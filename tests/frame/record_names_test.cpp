// The names hosts print for the record's opcodes, flags and codes.
#include "frame/record_names.h"

#include <gtest/gtest.h>

#include "frame/effect_record.h"
#include "frame/opcodes.h"

namespace {

TEST(RecordNames, OpcodesByNumber) {
    struct Case {
        std::string (*name)(std::int32_t);
        std::int32_t opcode;
        const char* expected;
    };
    const Case cases[] = {
        {effectOpcodeName, effOpen, "effOpen"},
        {effectOpcodeName, effGetVendorString, "effGetVendorString"},
        {effectOpcodeName, effGetNumMidiOutputChannels, "effGetNumMidiOutputChannels"},
        {effectOpcodeName, 80, "opcode 80"},
        {effectOpcodeName, -1, "opcode -1"},
        {hostOpcodeName, audioMasterGetTime, "audioMasterGetTime"},
        {hostOpcodeName, audioMasterGetInputSpeakerArrangement, "audioMasterGetInputSpeakerArrangement"},
        {hostOpcodeName, 5, "opcode 5"},  // no declaration has this number
    };
    for (const Case& c : cases) EXPECT_EQ(c.name(c.opcode), c.expected) << c.opcode;
}

TEST(RecordNames, EveryEffectOpcodeHasItsName) {
    for (std::int32_t opcode = effOpen; opcode <= effGetNumMidiOutputChannels; ++opcode)
        EXPECT_EQ(effectOpcodeName(opcode).rfind("eff", 0), 0u) << opcode;
}

TEST(RecordNames, FlagsInBitOrderWithUnnamedBitsByNumber) {
    EXPECT_EQ(effectFlagNames(0), std::vector<std::string>{});
    EXPECT_EQ(effectFlagNames(effFlagsIsSynth | effFlagsCanReplacing | (1 << 6) | effFlagsCanDoubleReplacing),
              (std::vector<std::string>{"CanReplacing", "unnamed flag 0x40", "IsSynth", "CanDoubleReplacing"}));
    EXPECT_EQ(effectFlagNames(static_cast<std::int32_t>(0x80000000u)),
              std::vector<std::string>{"unnamed flag 0x80000000"});
}

TEST(RecordNames, FourCharacterCodes) {
    EXPECT_EQ(fourCharText(fourCharCode('k', 'Z', 'r', 'n')), "kZrn");
    EXPECT_EQ(fourCharText(42), "\\x00\\x00\\x00*");
    EXPECT_EQ(fourCharText(static_cast<std::int32_t>(0xFF7F2041u)), "\\xff\\x7f A");
}

}  // namespace
