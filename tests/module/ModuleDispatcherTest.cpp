// The dispatcher as a host drives it: identification, names and display
// texts, programs, chunks byte for byte, pins, arrangements, effCanDo, MIDI,
// and what comes back from requests a careless or hostile host might send.
#include "PluginModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kUntouched = 0x7F;

class ModuleDispatcher : public ::testing::Test {
protected:
    void SetUp() override { plug.Dispatch(effOpen); }

    std::vector<uint8_t> Chunk(int32_t index) {
        uint8_t* data = nullptr;
        const intptr_t size = plug.Dispatch(effGetChunk, index, 0, &data);
        if (size <= 0 || !data)
            return {};
        return {data, data + size};
    }

    // Hands the host's bytes over from a heap block of exactly their size, so
    // that AddressSanitizer sees any read past them.
    intptr_t SetChunk(int32_t index, const std::vector<uint8_t>& bytes) {
        auto exact = std::make_unique<uint8_t[]>(bytes.size() + (bytes.empty() ? 1 : 0));
        std::copy(bytes.begin(), bytes.end(), exact.get());
        return plug.Dispatch(effSetChunk, index, static_cast<intptr_t>(bytes.size()), exact.get());
    }

    std::vector<float> Normalized() {
        std::vector<float> values;
        for (int i = 0; i < 12; ++i)
            values.push_back(plug.Record()->getParameter(plug.Record(), i));
        return values;
    }

    CheckerHost host;
    PluginInstance plug;
};

std::vector<uint8_t> Header() {
    return {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
}

void AppendDouble(std::vector<uint8_t>& bytes, double v) {
    uint8_t raw[8];
    std::memcpy(raw, &v, 8);
    bytes.insert(bytes.end(), raw, raw + 8);
}

double DoubleAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    double v;
    std::memcpy(&v, &bytes[at], 8);
    return v;
}

TEST(ModuleIdentify, OpenAsksProductAndVersionOnce) {
    CheckerHost host;
    PluginInstance plug;
    plug.Dispatch(effOpen);
    plug.Dispatch(effOpen);
    EXPECT_EQ(host.CountOf(audioMasterGetProductString), 1);
    EXPECT_EQ(host.CountOf(audioMasterGetVendorVersion), 1);
    EXPECT_EQ(host.Calls().size(), 2u);
    EXPECT_EQ(host.Calls()[0].opcode, audioMasterGetProductString);
    EXPECT_EQ(host.Calls()[1].opcode, audioMasterGetVendorVersion);
}

TEST(ModuleIdentify, AnEmptyProductTextIsNotFollowedByAVersionQuestion) {
    CheckerHost host;
    host.productText = "";
    PluginInstance plug;
    plug.Dispatch(effOpen);
    plug.Dispatch(effOpen);
    EXPECT_EQ(host.CountOf(audioMasterGetProductString), 1);
    EXPECT_EQ(host.CountOf(audioMasterGetVendorVersion), 0);
}

TEST(ModuleIdentify, StereoOnlyHostsSeeTwoInputsConnected) {
    CheckerHost host;
    host.productText = "Adobe Audition";
    PluginInstance plug;
    plug.Dispatch(effOpen);
    // The record still announces four inputs; only the first two take host buffers.
    EXPECT_EQ(plug.Record()->numInputs, 4);
    double in0[8], in1[8], out0[8], out1[8];
    std::fill_n(in0, 8, 0.5);
    std::fill_n(in1, 8, -0.5);
    double* ins[2] = {in0, in1};
    double* outs[2] = {out0, out1};
    plug.Record()->processDoubleReplacing(plug.Record(), ins, outs, 8);
    EXPECT_EQ(out0[7], 0.5);
    EXPECT_EQ(out1[7], -0.5);
}

TEST_F(ModuleDispatcher, ParameterNamesAndLabels) {
    const std::array<std::pair<const char*, const char*>, 12> expected{{
        {"Attack", "ms"},
        {"Release", "ms"},
        {"Hold", "ms"},
        {"Ratio", ""},
        {"Stereo Mode", ""},
        {"Sidechain Input", ""},
        {"Threshold", "dB"},
        {"Gain", "dB"},
        {"Mix", "%"},
        {"Release 2", "ms"},
        {"Attenuation", "dB"},
        {"Brickwall", ""},
    }};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(plug.Text(effGetParamName, i), expected[static_cast<std::size_t>(i)].first);
        EXPECT_EQ(plug.Text(effGetParamLabel, i), expected[static_cast<std::size_t>(i)].second);
    }
}

TEST_F(ModuleDispatcher, DisplayTextsAtSeveralValues) {
    struct Row {
        int index;
        float normalized;
        const char* text;
    };
    const Row rows[] = {
        {0, 0.0f, "0"},         {0, 0.5f, "150"},      {0, 1.0f, "300"},      {1, 0.5f, "750"},
        {1, 1.0f, "1500"},      {2, 0.5f, "15"},       {2, 1.0f, "30"},       {3, 0.0f, "1.0"},
        {3, 0.5f, "8.2"},       {3, 1.0f, "30.0"},     {4, 0.0f, "Average"},  {4, 0.5f, "Maximum"},
        {4, 1.0f, "Dual Mono"}, {5, 0.0f, "Chn. 1/2"}, {5, 1.0f, "Chn. 3/4"}, {6, 0.0f, "-60.0"},
        {6, 0.5f, "-30.0"},     {6, 1.0f, "0"},        {7, 0.0f, "0"},        {7, 0.5f, "15.0"},
        {7, 1.0f, "30.0"},      {8, 0.0f, "0"},        {8, 0.5f, "50"},       {8, 1.0f, "100"},
        {9, 0.5f, "750"},       {10, 0.0f, "-30.0"},   {10, 0.5f, "-15.0"},   {10, 1.0f, "0"},
        {11, 0.0f, "On"},       {11, 1.0f, "Off"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(plug.ParamDisplayAt(row.index, row.normalized), row.text)
            << "parameter " << row.index << " at " << row.normalized;
}

TEST_F(ModuleDispatcher, ParameterTextsNeverExceedThirtyTwoBytes) {
    for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (int i = 0; i < 12; ++i) {
            char buffer[128];
            std::memset(buffer, kUntouched, sizeof buffer);
            plug.Dispatch(opcode, i, 0, buffer);
            EXPECT_LT(std::strlen(buffer), 32u);
            for (std::size_t b = 32; b < sizeof buffer; ++b)
                ASSERT_EQ(buffer[b], kUntouched) << "opcode " << opcode << " index " << i;
        }
    }
}

TEST_F(ModuleDispatcher, BadParameterIndexOrNullBufferIsAnsweredWithoutWriting) {
    for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        for (int32_t index : {-1, 12, 1 << 30}) {
            char buffer[64];
            std::memset(buffer, kUntouched, sizeof buffer);
            EXPECT_EQ(plug.Dispatch(opcode, index, 0, buffer), 0);
            EXPECT_EQ(buffer[0], kUntouched);
        }
        EXPECT_EQ(plug.Dispatch(opcode, 0, 0, nullptr), 0);
    }
    EXPECT_EQ(plug.Record()->getParameter(plug.Record(), -1), 0.0f);
    EXPECT_EQ(plug.Record()->getParameter(plug.Record(), 12), 0.0f);
    const auto before = Normalized();
    plug.Record()->setParameter(plug.Record(), -1, 0.5f);
    plug.Record()->setParameter(plug.Record(), 12, 0.5f);
    EXPECT_EQ(Normalized(), before);
}

TEST_F(ModuleDispatcher, NamesOfTheEffectAreBoundedByThePublishedSizes) {
    EXPECT_EQ(plug.Text(effGetEffectName), "Quelor");
    EXPECT_EQ(plug.Text(effGetVendorString), "Brovane");
    char product[64];
    std::memset(product, kUntouched, sizeof product);
    EXPECT_EQ(plug.Dispatch(effGetProductString, 0, 0, product), 1);
    EXPECT_EQ(product[0], '\0');
    EXPECT_EQ(plug.Dispatch(effGetEffectName, 0, 0, nullptr), 0);
    EXPECT_EQ(plug.Dispatch(effGetVendorString, 0, 0, nullptr), 0);
    EXPECT_EQ(plug.Dispatch(effGetProductString, 0, 0, nullptr), 0);
}

TEST_F(ModuleDispatcher, ProgramsAreNamedSwitchedAndCutToTheHostsBuffer) {
    EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
    EXPECT_EQ(plug.Text(effGetProgramName), "Default");
    char name[64];
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Default");
    std::memset(name, kUntouched, sizeof name);
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 3, 0, name), 0);
    EXPECT_EQ(name[0], '\0');
    EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

    const std::string longName(200, 'n');
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
    for (int32_t opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        std::memset(name, kUntouched, sizeof name);
        plug.Dispatch(opcode, 0, 0, name);
        EXPECT_EQ(std::string(name), std::string(23, 'n'));
        for (std::size_t b = 24; b < sizeof name; ++b)
            ASSERT_EQ(name[b], kUntouched);
    }
    // An empty name keeps the one the program has.
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(""));
    EXPECT_EQ(plug.Text(effGetProgramName), std::string(23, 'n'));
    EXPECT_EQ(plug.Dispatch(effSetProgramName, 0, 0, nullptr), 0);
}

TEST_F(ModuleDispatcher, SwitchingToAProgramThatDoesNotExistChangesNothing) {
    plug.Record()->setParameter(plug.Record(), 6, 0.5f);
    const auto before = Normalized();
    for (intptr_t index : {intptr_t{1}, intptr_t{-1}, intptr_t{1} << 40})
        EXPECT_EQ(plug.Dispatch(effSetProgram, 0, index), 0);
    EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
    EXPECT_EQ(Normalized(), before);
    // Switching stores the edits into the program being left, so they survive a reload.
    plug.Record()->setParameter(plug.Record(), 6, 1.0f);
    plug.Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(plug.Text(effGetParamDisplay, 6), "0");
}

TEST_F(ModuleDispatcher, ProgramChunkIsHeaderAndOneRealPerParameter) {
    plug.Record()->setParameter(plug.Record(), 6, 0.5f);
    const auto chunk = Chunk(1);
    ASSERT_EQ(chunk.size(), 104u);
    EXPECT_EQ(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 8), Header());
    EXPECT_EQ(DoubleAt(chunk, 8 + 0 * 8), 1.0);   // Attack
    EXPECT_EQ(DoubleAt(chunk, 8 + 3 * 8), 3.0);   // Ratio
    EXPECT_EQ(DoubleAt(chunk, 8 + 6 * 8), -30.0); // Threshold
    EXPECT_EQ(DoubleAt(chunk, 8 + 11 * 8), 1.0);  // Brickwall Off
    EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);
}

TEST_F(ModuleDispatcher, BankChunkHoldsTheNamedProgram) {
    const auto chunk = Chunk(0);
    ASSERT_EQ(chunk.size(), 116u);
    EXPECT_EQ(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 8), Header());
    EXPECT_EQ(chunk[8], 7);
    EXPECT_EQ(std::string(chunk.begin() + 12, chunk.begin() + 19), "Default");
    EXPECT_EQ(chunk[19], 1);
}

TEST_F(ModuleDispatcher, ChunksTravelByteForByteBetweenInstances) {
    plug.Record()->setParameter(plug.Record(), 0, 0.1f);
    plug.Record()->setParameter(plug.Record(), 4, 1.0f);
    plug.Record()->setParameter(plug.Record(), 7, 0.7f);
    plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Moved"));
    const auto program = Chunk(1);
    const auto bank = Chunk(0);

    PluginInstance other;
    other.Dispatch(effOpen);
    uint8_t* data = nullptr;
    for (int32_t index : {1, 0}) {
        const auto& bytes = index ? program : bank;
        EXPECT_EQ(other.Dispatch(effSetChunk, index, static_cast<intptr_t>(bytes.size()),
                                 const_cast<uint8_t*>(bytes.data())),
                  1);
        const intptr_t size = other.Dispatch(effGetChunk, index, 0, &data);
        ASSERT_EQ(size, static_cast<intptr_t>(bytes.size()));
        EXPECT_EQ(std::vector<uint8_t>(data, data + size), bytes);
    }
    EXPECT_EQ(other.Text(effGetProgramName), "Moved");
    EXPECT_EQ(other.Text(effGetParamDisplay, 4), "Dual Mono");
    EXPECT_EQ(other.Text(effGetParamDisplay, 7), plug.Text(effGetParamDisplay, 7));
}

TEST_F(ModuleDispatcher, AChunkWithoutHeaderIsReadFromItsFirstByte) {
    std::vector<uint8_t> raw;
    for (double v : {5.0, 200.0, 10.0, 4.0, 2.0, 1.0, -12.0, 6.0, 50.0, 100.0, -3.0, 0.0})
        AppendDouble(raw, v);
    ASSERT_EQ(raw.size(), 96u);
    EXPECT_EQ(SetChunk(1, raw), 1);
    EXPECT_EQ(plug.Text(effGetParamDisplay, 0), "5");
    EXPECT_EQ(plug.Text(effGetParamDisplay, 4), "Dual Mono");
    EXPECT_EQ(plug.Text(effGetParamDisplay, 6), "-12.0");
    EXPECT_EQ(plug.Text(effGetParamDisplay, 11), "On");
    // A bank without header is a program state too.
    EXPECT_EQ(SetChunk(0, raw), 1);
}

TEST_F(ModuleDispatcher, AShortChunkAppliesWhatItHoldsAndAnswersZero) {
    auto bytes = Header();
    for (double v : {7.0, 70.0, 7.0, 7.0, 2.0})
        AppendDouble(bytes, v);
    EXPECT_EQ(SetChunk(1, bytes), 0);
    EXPECT_EQ(plug.Text(effGetParamDisplay, 0), "7");
    EXPECT_EQ(plug.Text(effGetParamDisplay, 4), "Dual Mono");
    EXPECT_EQ(plug.Text(effGetParamDisplay, 5), "Chn. 1/2"); // missing: 0 within range
    EXPECT_EQ(plug.Text(effGetParamDisplay, 6), "0");        // not reached: unchanged
    // Values beyond a range are held at its ends.
    auto wild = Header();
    for (int i = 0; i < 12; ++i)
        AppendDouble(wild, 1.0e300);
    EXPECT_EQ(SetChunk(1, wild), 1);
    for (float v : Normalized())
        EXPECT_EQ(v, 1.0f);
}

TEST_F(ModuleDispatcher, HostileChunksAreRefusedWithoutReadingOutside) {
    const auto before = Chunk(1);
    uint8_t byte = 0;
    for (intptr_t size : {intptr_t{-1}, intptr_t{-100000}, intptr_t{1} << 31, intptr_t{1} << 40,
                          intptr_t{1} << 21}) {
        EXPECT_EQ(plug.Dispatch(effSetChunk, 1, size, &byte), 0);
        EXPECT_EQ(plug.Dispatch(effSetChunk, 0, size, &byte), 0);
    }
    EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 16, nullptr), 0);
    EXPECT_EQ(Chunk(1), before);

    // A header with no version behind it.
    EXPECT_EQ(SetChunk(1, {0x74, 0x66, 0x66, 0x70, 0x00}), 0);
    // A bank whose name length points far past its end.
    auto bank = Header();
    bank.insert(bank.end(), {0xFF, 0xFF, 0xFF, 0x7F, 'x'});
    EXPECT_EQ(SetChunk(0, bank), 0);
    auto negative = Header();
    negative.insert(negative.end(), {0x00, 0x00, 0x00, 0x80, 'x'});
    EXPECT_EQ(SetChunk(0, negative), 0);
    // Garbage of every length up to a bank's: whatever it sets stays in range.
    uint32_t seed = 12345;
    for (std::size_t length = 0; length < 140; ++length) {
        std::vector<uint8_t> garbage(length);
        for (auto& b : garbage) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(seed >> 24);
        }
        if (length >= 8 && length % 3 == 0)
            std::copy_n(Header().begin(), 8, garbage.begin());
        SetChunk(static_cast<int32_t>(length % 2), garbage);
        for (float v : Normalized())
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << "length " << length;
    }
    EXPECT_EQ(Chunk(1).size(), 104u);
}

TEST_F(ModuleDispatcher, PinProperties) {
    VstPinProperties pin;
    std::memset(&pin, kUntouched, sizeof pin);
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Input 1");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(pin.shortLabel[0], kUntouched);
    EXPECT_EQ(pin.future[0], kUntouched);
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Input 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, 3, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Input 4");
    EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, 4, 0, &pin), 0);
    EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(plug.Dispatch(effGetInputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST_F(ModuleDispatcher, CanDoAnswers) {
    const std::pair<const char*, intptr_t> answers[] = {
        {"receiveVstTimeInfo", 1},
        {"sendVstEvents", 0},
        {"sendVstMidiEvent", 0},
        {"receiveVstEvents", 0},
        {"receiveVstMidiEvent", 0},
        {"hasCockosExtensions", static_cast<intptr_t>(0xBEEF0000u)},
        {"hasCockosViewAsConfig", static_cast<intptr_t>(0xBEEF0000u)},
        {"HasCockosExtensions", 0},
        {"receiveVstTimeInfo ", 0},
        {"", 0},
        {"plugAsChannelInsert", 0},
    };
    for (const auto& [text, answer] : answers)
        EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(text)), answer) << text;
    EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(ModuleDispatcher, FixedAnswersAndOpcodesWeDoNotServe) {
    host.ClearLog();
    EXPECT_EQ(plug.Dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plug.Dispatch(effGetPlugCategory), 1);
    EXPECT_EQ(plug.Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 5), 1);
    EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 999), 1);
    char scratch[1024] = {};
    const std::initializer_list<int32_t> unserved{effIdle,
                                                  effEditIdle,
                                                  effSetBypass,
                                                  effProcessVarIo,
                                                  effGetTailSize,
                                                  effGetVendorVersion,
                                                  effString2Parameter,
                                                  effBeginSetProgram,
                                                  effEndSetProgram,
                                                  effStartProcess,
                                                  effStopProcess,
                                                  effSetProcessPrecision,
                                                  effSetBlockSizeAndSampleRate,
                                                  effGetParameterProperties,
                                                  9,
                                                  16,
                                                  70,
                                                  1000,
                                                  -1,
                                                  1 << 30};
    for (int32_t opcode : unserved)
        EXPECT_EQ(plug.Dispatch(opcode, 0, 1, scratch, 1.0f), 0) << "opcode " << opcode;
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(ModuleDispatcher, NoEditorYet) {
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(0x1));
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x1234)), 0);
    EXPECT_EQ(plug.Dispatch(effEditClose), 0);
}

TEST_F(ModuleDispatcher, VendorSpecificSevenFormatsANormalizedValue) {
    char text[64];
    std::memset(text, kUntouched, sizeof text);
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 6, text, 0.5f), 0xBEEF);
    EXPECT_STREQ(text, "-30.0");
    EXPECT_EQ(text[31], kUntouched);
    for (intptr_t bad : {intptr_t{-1}, intptr_t{12}, intptr_t{1} << 40}) {
        std::memset(text, kUntouched, sizeof text);
        EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, bad, text, 0.5f), 0xBEEF);
        EXPECT_EQ(text[0], kUntouched);
    }
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 6, 6, text, 0.5f), 0);
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 6, nullptr, 0.5f), 0);
    // The live value is not touched.
    EXPECT_EQ(plug.Text(effGetParamDisplay, 6), "0");
}

TEST_F(ModuleDispatcher, SpeakerArrangementsAreKeptAsAnnounced) {
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->numChannels, 4);
    EXPECT_EQ(out->numChannels, 2);
    VstSpeakerArrangement announce{};
    announce.numChannels = 9; // more than there are: all connected
    EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&announce),
                            &announce),
              1);
    announce.numChannels = -3; // fewer than none: none connected
    EXPECT_EQ(
        plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&announce), nullptr),
        1);
    EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
    EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST_F(ModuleDispatcher, MidiIsEchoedAndOtherEventsPassBackUnchanged) {
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.deltaFrames = 17;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    note.detune = 5;
    VstEvent other{};
    other.type = 6;
    other.byteSize = sizeof other;
    other.data[0] = 42;
    struct {
        int32_t numEvents;
        intptr_t reserved;
        VstEvent* events[3];
    } list{3, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, &other}};
    host.ClearLog();
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
    const auto calls = host.Calls();
    ASSERT_EQ(calls.size(), 2u);
    ASSERT_EQ(calls[0].opcode, audioMasterProcessEvents);
    ASSERT_EQ(calls[0].events.size(), 1u);
    VstMidiEvent echoed;
    std::memcpy(&echoed, &calls[0].events[0], sizeof echoed);
    EXPECT_EQ(echoed.type, kVstMidiType);
    EXPECT_EQ(echoed.byteSize, 32);
    EXPECT_EQ(echoed.deltaFrames, 17);
    EXPECT_EQ(static_cast<uint8_t>(echoed.midiData[0]), 0x90);
    EXPECT_EQ(echoed.midiData[1], 60);
    EXPECT_EQ(echoed.midiData[2], 100);
    EXPECT_EQ(echoed.midiData[3], 0);
    EXPECT_EQ(echoed.detune, 0);
    ASSERT_EQ(calls[1].eventPointers.size(), 1u);
    EXPECT_EQ(calls[1].eventPointers[0], &other);

    host.ClearLog();
    list.numEvents = -5;
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(ModuleDispatcher, MidiKeyNamesAreEmpty) {
    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::memset(key.keyName, kUntouched, sizeof key.keyName);
    EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_EQ(key.keyName[0], '\0');
    EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
}

} // namespace
