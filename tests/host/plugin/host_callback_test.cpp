// What the host answers to each request a plug-in can send.
#include "host/plugin/host_callback.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/opcodes.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"

namespace {

using namespace vsthost;

TEST(HostCallback, AnswersVersionRateBlockTextsAndZeroToTheRest) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    plugin.start(48000.0, 333);
    AEffect* e = plugin.effect();

    struct Request {
        std::int32_t opcode;
        std::intptr_t expected;
    };
    const Request requests[] = {
        {audioMasterVersion, 2400},
        {audioMasterGetSampleRate, 48000},
        {audioMasterGetBlockSize, 333},
        {audioMasterGetVendorVersion, 1000},
        {audioMasterAutomate, 0},
        {audioMasterCurrentId, 0},
        {audioMasterIdle, 0},
        {audioMasterCanDo, 0},
        {audioMasterGetCurrentProcessLevel, 0},
        {audioMasterIOChanged, 1},  // the delay and channels are read before every block
        {audioMasterSizeWindow, 0},
        {audioMasterGetDirectory, 0},
        {audioMasterUpdateDisplay, 0},
        {audioMasterBeginEdit, 0},
        {audioMasterEndEdit, 0},
        {-1, 0},
        {9999, 0},
    };
    for (const Request& r : requests)
        EXPECT_EQ(HostCallback::entry(e, r.opcode, 0, 0, nullptr, 0.0f), r.expected) << r.opcode;

    char text[64];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(HostCallback::entry(e, audioMasterGetVendorString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Dravelkint");
    EXPECT_EQ(HostCallback::entry(e, audioMasterGetProductString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "dravelkint");
    // A vendor text longer than a host buffer is cut to fit it.
    host.vendor = std::string(200, 'v');
    std::memset(text, 'x', sizeof text);
    HostCallback::entry(e, audioMasterGetVendorString, 0, 0, text, 0.0f);
    EXPECT_EQ(std::strlen(text), 63u);
}

TEST(HostCallback, VersionQueryWithoutARecordIsAnswered) {
    EXPECT_EQ(HostCallback::entry(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(HostCallback::entry(nullptr, audioMasterGetTime, 0, 0, nullptr, 0.0f), 0);
}

TEST(HostCallback, EachInstanceReachesItsOwnHost) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback first;
    HostCallback second;
    PluginInstance a(module, first);
    PluginInstance b(module, second);
    a.start(44100.0, 64);
    b.start(96000.0, 128);
    EXPECT_EQ(HostCallback::entry(a.effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 64);
    EXPECT_EQ(HostCallback::entry(b.effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 128);
    EXPECT_EQ(HostCallback::entry(b.effect(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 96000);
}

}  // namespace
