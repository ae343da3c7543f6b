// Nothing a host may call from its audio thread allocates: parameter writes
// and reads, and the parameter and identity texts, through the record.
#include <gtest/gtest.h>

#include <limits>

#include "host/allocation/allocation_counter.h"
#include "support/plugin_instance.h"

namespace {

TEST(AudioPathAllocation, ParametersAndTextsAllocateNothing) {
    if (!allocation_counter::available()) GTEST_SKIP() << "the sanitizer owns the allocator";
    PluginLibrary library;
    RecordingHost host;
    PluginInstance plugin(library, host);
    AEffect* e = plugin.effect;
    const float values[] = {0.0f,
                            0.37f,
                            1.0f,
                            -2.0f,
                            5.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()};
    char text[64];

    allocation_counter::start();
    for (const float value : values) {
        for (std::int32_t index = -1; index <= 5; ++index) {
            e->setParameter(e, index, value);
            e->getParameter(e, index);
            for (const std::int32_t opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName})
                dispatch(e, opcode, index, 0, text);
        }
        for (const std::int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString})
            dispatch(e, opcode, 0, 0, text);
    }
    EXPECT_EQ(allocation_counter::stop(), 0);
}

}  // namespace
