// The dispatcher as a host drives it: texts, programs, chunks, pins, effCanDo, and
// requests a careless or hostile host might send. What effOpen asks of the host and MIDI's
// echo are the adapter suite's.
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kUntouched = 0x7F;
using Bytes = std::vector<uint8_t>;

class ModuleDispatcher : public ::testing::Test {
protected:
    void SetUp() override { plug.Dispatch(effOpen); }

    Bytes Chunk(int32_t index, const PluginInstance* of = nullptr) {
        uint8_t* data = nullptr;
        const intptr_t size = (of ? *of : plug).Dispatch(effGetChunk, index, 0, &data);
        return size > 0 && data ? Bytes(data, data + size) : Bytes{};
    }
    // From a heap block of exactly the bytes' size, so AddressSanitizer sees any read past it.
    intptr_t SetChunk(int32_t index, const Bytes& bytes, const PluginInstance* of = nullptr) {
        auto exact = std::make_unique<uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
        std::copy(bytes.begin(), bytes.end(), exact.get());
        return (of ? *of : plug)
            .Dispatch(effSetChunk, index, static_cast<intptr_t>(bytes.size()), exact.get());
    }
    std::vector<float> Normalized() {
        std::vector<float> values;
        for (int i = 0; i < 12; ++i)
            values.push_back(plug.Get(i));
        return values;
    }
    std::string Display(int32_t index) { return plug.Text(effGetParamDisplay, index); }

    CheckerHost host;
    PluginInstance plug;
};

TEST_F(ModuleDispatcher, ParameterNamesLabelsAndDisplayTexts) {
    const struct {
        const char *name, *label, *atZero, *atHalf, *atOne;
    } rows[] = {{"Attack", "ms", "0", "150", "300"},
                {"Release", "ms", "0", "750", "1500"},
                {"Hold", "ms", "0", "15", "30"},
                {"Ratio", "", "1.0", "8.2", "30.0"},
                {"Stereo Mode", "", "Average", "Maximum", "Dual Mono"},
                {"Sidechain Input", "", "Chn. 1/2", "Chn. 3/4", "Chn. 3/4"},
                {"Threshold", "dB", "-60.0", "-30.0", "0"},
                {"Gain", "dB", "0", "15.0", "30.0"},
                {"Mix", "%", "0", "50", "100"},
                {"Release 2", "ms", "0", "750", "1500"},
                {"Attenuation", "dB", "-30.0", "-15.0", "0"},
                {"Brickwall", "", "On", "Off", "Off"}};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(plug.Text(effGetParamName, i) + "|" + plug.Text(effGetParamLabel, i),
                  std::string(rows[i].name) + "|" + rows[i].label);
        for (const auto& [normalized, text] :
             {std::pair{0.0f, rows[i].atZero}, {0.5f, rows[i].atHalf}, {1.0f, rows[i].atOne}}) {
            plug.Set(i, normalized);
            EXPECT_EQ(Display(i), text) << rows[i].name << " at " << normalized;
        }
    }
}

TEST_F(ModuleDispatcher, TextsStayInThePublishedSizesAndBadRequestsWriteNothing) {
    for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (int32_t index : {-1, 0, 5, 11, 12, 1 << 30}) {
            char buffer[128];
            std::memset(buffer, kUntouched, sizeof buffer);
            plug.Dispatch(opcode, index, 0, buffer);
            const bool valid = index >= 0 && index < 12;
            EXPECT_EQ(buffer[0] == kUntouched, !valid) << opcode << " " << index;
            for (std::size_t b = valid ? 32 : 0; b < sizeof buffer; ++b)
                ASSERT_EQ(buffer[b], kUntouched) << "opcode " << opcode << " index " << index;
        }
    }
    EXPECT_EQ(plug.Text(effGetEffectName), "Quelor");
    EXPECT_EQ(plug.Text(effGetVendorString), "Brovane");
    EXPECT_EQ(plug.Get(-1), 0.0f);
    EXPECT_EQ(plug.Get(12), 0.0f);
    const auto before = Normalized();
    plug.Set(-1, 0.5f);
    plug.Set(12, 0.5f);
    EXPECT_EQ(Normalized(), before);
    // Null pointers are answered with 0; the arrangements take theirs in value and ptr.
    for (int32_t opcode : std::initializer_list<int32_t>{
             effGetParamName, effGetParamLabel, effGetParamDisplay, effGetEffectName,
             effGetVendorString, effGetProductString, effGetProgramName, effGetProgramNameIndexed,
             effSetProgramName, effGetChunk, effSetChunk, effGetOutputProperties, effCanDo,
             effProcessEvents, effGetMidiKeyName, effVendorSpecific, effEditGetRect})
        EXPECT_EQ(plug.Dispatch(opcode, opcode == effVendorSpecific ? 7 : 0, 16, nullptr), 0)
            << "opcode " << opcode;
    EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
    EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST_F(ModuleDispatcher, ProgramsAreNamedCutToTheHostsBufferAndSwitchedOnlyToOneThatExists) {
    char name[64];
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Default");
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 3, 0, name), 0);
    EXPECT_EQ(name[0], '\0');
    const std::string longName(200, 'n');
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
    for (int32_t opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        std::memset(name, kUntouched, sizeof name);
        plug.Dispatch(opcode, 0, 0, name);
        EXPECT_EQ(std::string(name), std::string(23, 'n'));
        for (std::size_t b = 24; b < sizeof name; ++b)
            ASSERT_EQ(name[b], kUntouched);
    }
    plug.Set(6, 0.5f);
    const auto before = Normalized();
    for (intptr_t index : {intptr_t{1}, intptr_t{-1}, std::numeric_limits<intptr_t>::max()})
        EXPECT_EQ(plug.Dispatch(effSetProgram, 0, index), 0);
    EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
    EXPECT_EQ(Normalized(), before);
    // Switching stores the edits into the program being left, so they survive a reload.
    plug.Set(6, 1.0f);
    plug.Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(Display(6), "0");
}

// A chunk of either kind handed back in place loads; one that cannot be ours is refused
// without a byte of it read. The bank carries the program's name to another instance
// byte for byte, and a bank chunk without a bank's header holds one program; the program
// chunk's sizes are the conformance suite's.
TEST_F(ModuleDispatcher, ChunksLoadInPlaceHostileOnesAreRefusedAndTheBankTravels) {
    plug.Set(4, 1.0f);
    plug.Set(7, 0.7f);
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Moved"));
    for (int32_t index : {1, 0}) {
        SCOPED_TRACE(index);
        uint8_t* lent = nullptr;
        const intptr_t size = plug.Dispatch(effGetChunk, index, 0, &lent);
        ASSERT_GT(size, 8);
        const Bytes expected(lent, lent + size);
        plug.Set(7, 0.1f);
        // Hosts hand back the very pointer they were given, at its size and beyond it;
        // the bytes must not be freed under the copy.
        EXPECT_EQ(plug.Dispatch(effSetChunk, index, size, lent), 1);
        EXPECT_FLOAT_EQ(plug.Get(7), 0.7f);
        EXPECT_EQ(plug.Dispatch(effSetChunk, index, size + 4096, lent), 0);
        EXPECT_EQ(plug.Dispatch(effSetChunk, index, size, lent + 4), 0) << "4 bytes past ours";
        uint8_t byte = 0;
        for (intptr_t hostile : {intptr_t{-1}, intptr_t{1} << 31,
                                 std::numeric_limits<intptr_t>::max(), intptr_t{1} << 21})
            EXPECT_EQ(plug.Dispatch(effSetChunk, index, hostile, &byte), 0) << hostile;
        EXPECT_EQ(Chunk(index), expected);
    }
    const Bytes bank = Chunk(0);
    ASSERT_EQ(bank.size(), 8u + 4 + 5 + 1 + 12 * 8);
    PluginInstance other;
    other.Dispatch(effOpen);
    EXPECT_EQ(SetChunk(0, bank, &other), 1);
    EXPECT_EQ(Chunk(0, &other), bank);
    EXPECT_EQ(other.Text(effGetProgramName), "Moved");
    EXPECT_EQ(other.Text(effGetParamDisplay, 4), "Dual Mono");
    const Bytes program = Chunk(1);
    EXPECT_EQ(SetChunk(0, Bytes(program.begin() + 8, program.end())), 1);
}

TEST_F(ModuleDispatcher, PinsFixedAnswersCanDoAndOpcodesWeDoNotServe) {
    VstPinProperties pin;
    std::memset(&pin, kUntouched, sizeof pin);
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Input 1");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(pin.shortLabel[0], kUntouched);
    EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 2");
    for (const auto& [opcode, index] : {std::pair{effGetInputProperties, 4},
                                        {effGetInputProperties, -1},
                                        {effGetOutputProperties, 2}})
        EXPECT_EQ(plug.Dispatch(opcode, index, 0, &pin), 0) << index;

    host.ClearLog();
    EXPECT_EQ(plug.Dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plug.Dispatch(effGetPlugCategory), 1);
    EXPECT_EQ(plug.Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 999), 1);
    const auto extensions = static_cast<intptr_t>(0xBEEF0000u);
    const std::pair<const char*, intptr_t> canDo[] = {
        {"receiveVstTimeInfo", 1},           {"sendVstEvents", 0},
        {"hasCockosExtensions", extensions}, {"hasCockosViewAsConfig", extensions},
        {"HasCockosExtensions", 0},          {"receiveVstTimeInfo ", 0}};
    for (const auto& [text, answer] : canDo)
        EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(text)), answer) << text;
    char scratch[1024] = {};
    for (int32_t opcode : std::initializer_list<int32_t>{
             effIdle, effEditIdle, effSetBypass, effProcessVarIo, effGetTailSize,
             effGetVendorVersion, effBeginSetProgram, effEndSetProgram, effStartProcess,
             effStopProcess, effSetProcessPrecision, effSetBlockSizeAndSampleRate,
             effGetParameterProperties, 9, 16, 70, 1000, -1, 1 << 30})
        EXPECT_EQ(plug.Dispatch(opcode, 0, 1, scratch, 1.0f), 0) << "opcode " << opcode;
    EXPECT_TRUE(host.Calls().empty());

    // Vendor-specific 7 formats a normalized value for a valid index, and only that.
    char text[64];
    std::memset(text, kUntouched, sizeof text);
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 6, text, 0.5f), 0xBEEF);
    EXPECT_STREQ(text, "-30.0");
    EXPECT_EQ(text[31], kUntouched);
    std::memset(text, kUntouched, sizeof text);
    for (intptr_t bad : {intptr_t{-1}, intptr_t{12}, std::numeric_limits<intptr_t>::max()})
        EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, bad, text, 0.5f), 0xBEEF);
    EXPECT_EQ(text[0], kUntouched);
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 6, 6, text, 0.5f), 0);
    EXPECT_EQ(Display(6), "0") << "the live value is not touched";
}

} // namespace
