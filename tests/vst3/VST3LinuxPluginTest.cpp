// What only the Linux bundle has to show: the class ID's bytes, the moduleinfo.json beside
// the binary, and the entry calls counted.
#include "VST3PluginHost.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace vst3;

namespace {

// The first 16 bytes of the SHA-256 of "com.brovane.quelor.vst3", as hosts list it.
constexpr char kClassId[] = "1CBD9ED25B0FAA5B8D753C44064D4A05";

// Linux lays the four words out big-endian: the factory's bytes are the hash's own, and
// moduleinfo.json lists them with the class's texts.
TEST(VST3LinuxPlugin, TheClassIdIsTheHashOfItsTextAndModuleInfoListsTheClass) {
    const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    const std::vector<char> id = ClassIdBytes(module);
    EXPECT_EQ(Hex(id.data(), id.size()), kClassId);
    std::ifstream file(BundleUnderTest(QUELOR_VST3_BUNDLE) + "/Contents/Resources/moduleinfo.json");
    ASSERT_TRUE(file) << "no moduleinfo.json";
    std::stringstream text;
    text << file.rdbuf();
    const std::string json = text.str();
    PClassInfo2 info{};
    Ref<IPluginFactory2> factory;
    ASSERT_EQ(module.Factory()->queryInterface(IPluginFactory2::kIid.data(), factory.Put()),
              kResultOk);
    ASSERT_EQ(factory->getClassInfo2(0, &info), kResultOk);
    const std::string expected[] = {"\"CID\": \"" + std::string(kClassId) + "\"",
                                    "\"Name\": \"" + std::string(info.name) + "\"",
                                    "\"Vendor\": \"" + std::string(info.vendor) + "\"",
                                    "\"Version\": \"" + std::string(info.version) + "\"",
                                    "\"SDKVersion\": \"" + std::string(info.sdkVersion) + "\"",
                                    "\"Category\": \"" + std::string(info.category) + "\"",
                                    "\"Sub Categories\": [\"Fx\", \"Dynamics\"]",
                                    "\"Factory Info\"",
                                    "\"Unicode\": true",
                                    "\"Cardinality\": 2147483647"};
    for (const std::string& entry : expected)
        EXPECT_NE(json.find(entry), std::string::npos) << entry << " not in\n" << json;
    EXPECT_EQ(json.find("Compatibility"), std::string::npos);
}

TEST(VST3LinuxPlugin, WorksWithoutEntryCallsAndCountsThem) {
    const VST3Module skipped(BundleUnderTest(QUELOR_VST3_BUNDLE), VST3Module::Entry::Skip);
    ASSERT_NE(skipped.Factory(), nullptr) << skipped.Error();
    {
        VST3PluginHost plug(skipped);
        EXPECT_EQ(plug.Controller()->getParameterCount(), 12);
    }
    using Exit = bool (*)();
    const auto moduleExit = reinterpret_cast<Exit>(skipped.Symbol("ModuleExit"));
    ASSERT_NE(moduleExit, nullptr);
    // The other suite's module may hold an entry of its own: exit until refused, then enter
    // as often again.
    int held = 0;
    while (held < 100 && moduleExit())
        ++held;
    EXPECT_FALSE(moduleExit());
    using Entry = bool (*)(void*);
    const auto moduleEntry = reinterpret_cast<Entry>(skipped.Symbol("ModuleEntry"));
    for (int i = 0; i < held; ++i)
        EXPECT_TRUE(moduleEntry(nullptr));
}

} // namespace
