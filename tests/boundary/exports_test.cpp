// A host finds the plug-in by name: exactly two exported symbols, one function.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

namespace {

TEST(Exports, ExactlyTheEntryPointUnderTwoNames) {
    const std::string command = std::string("nm -D --defined-only '") + DRAVELKINT_PLUGIN_PATH + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::map<std::string, std::string> addressOf;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        addressOf[name] = address;
    }
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(addressOf.size(), 2u) << "every exported symbol: " << [&] {
        std::string all;
        for (const auto& [name, address] : addressOf) all += name + " ";
        return all;
    }();
    ASSERT_TRUE(addressOf.count("VSTPluginMain"));
    ASSERT_TRUE(addressOf.count("main"));
    EXPECT_EQ(addressOf["VSTPluginMain"], addressOf["main"]);
}

}  // namespace
