#include "EffectTestSupport.h"
#include "Quelor.h"
#include "VST2Programs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

const std::vector<double> kDefaults{1, 100, 5, 3, 0, 0, 0, 0, 100, 300, 0, 1};
const std::vector<double> kFactoryPreset{1, 100, 5, 3, 0, 0, 0, 0, 100, 300, -30, 1};
const Bytes kHeader{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

std::vector<double> Values(const IEffectBase& effect) {
    std::vector<double> values;
    for (int i = 0; i < effect.ParameterCount(); ++i)
        values.push_back(effect.ParameterAt(i)->Value());
    return values;
}

Bytes BytesOf(const StateChunk& chunk) {
    return {chunk.Data(), chunk.Data() + chunk.Size()};
}

// The bytes given, then the values as little-endian doubles.
Bytes With(Bytes bytes, const std::vector<double>& values) {
    for (double v : values) {
        uint8_t raw[8];
        std::memcpy(raw, &v, 8);
        bytes.insert(bytes.end(), raw, raw + 8);
    }
    return bytes;
}

StateChunk Chunk(const Bytes& bytes) {
    StateChunk chunk;
    chunk.Assign(bytes.data(), static_cast<int>(bytes.size()));
    return chunk;
}

// What effSetChunk does with a program chunk: read without the lock, applied under it.
int LoadState(IEffectBase& effect, const StateChunk& chunk, int position) {
    IParamValues values;
    effect.ReadParamValues(chunk, position, values);
    return effect.ApplyParamValues(values);
}

// A bank of this effect: its one preset.
Bytes Bank(const char* name, bool initialized, const std::vector<double>& values) {
    Bytes bytes = kHeader;
    const auto length = static_cast<uint8_t>(std::strlen(name));
    bytes.insert(bytes.end(), {length, 0, 0, 0});
    bytes.insert(bytes.end(), name, name + length);
    bytes.push_back(initialized ? 1 : 0);
    return initialized ? With(bytes, values) : bytes;
}

class PresetTest : public ::testing::Test {
protected:
    PresetTest() { OpenLikeHost(effect, 44100, 512); }

    Bytes ProgramChunk() {
        StateChunk chunk;
        EXPECT_TRUE(effect.SaveProgramState(chunk));
        return BytesOf(chunk);
    }
    Bytes BankChunk() {
        StateChunk chunk;
        EXPECT_TRUE(programs.WriteBank(chunk));
        return BytesOf(chunk);
    }
    int LoadBank(const Bytes& bytes) {
        IBankValues bank;
        programs.ReadBank(Chunk(bytes), 8, bank);
        return programs.ApplyBank(bank);
    }

    Quelor effect;
    VST2Programs programs{effect};
};
} // namespace

TEST_F(PresetTest, FactoryPresetIsStoredWithoutTouchingTheParametersUntilLoaded) {
    EXPECT_STREQ(effect.PresetName(0), "Default");
    EXPECT_STREQ(programs.Name(0), "Default");
    EXPECT_EQ(Values(effect), kDefaults);
    EXPECT_EQ(BytesOf(programs.At(0)->values), With({}, kFactoryPreset));
    ASSERT_TRUE(programs.Load(0));
    EXPECT_EQ(Values(effect), kFactoryPreset);
    EXPECT_NEAR(effect.AttenuationGain(), 0.0316227766, 1e-10);
    EXPECT_FALSE(programs.Load(1));
    EXPECT_FALSE(programs.Load(-1));
}

TEST_F(PresetTest, ChunkLayoutsByteForByte) {
    SetParameter(effect, Quelor::kMix, 50);
    std::vector<double> values = kDefaults;
    values[Quelor::kMix] = 50;
    const Bytes program = ProgramChunk();
    ASSERT_EQ(program.size(), 104u);
    EXPECT_EQ(program, With(kHeader, values));
    const Bytes bank = BankChunk();
    ASSERT_EQ(bank.size(), 116u);
    EXPECT_EQ(bank, Bank("Default", true, values)) << "the live values of the current preset";
}

TEST_F(PresetTest, NaNValuesLandOnTheMinimumAndAHeaderWithoutVersionIsRefused) {
    const Bytes nans(96, 0xFF);
    EXPECT_EQ(LoadState(effect, Chunk(nans), 0), 96);
    for (int i = 0; i < effect.ParameterCount(); ++i)
        EXPECT_EQ(effect.ParameterAt(i)->Value(), effect.ParameterAt(i)->Minimum());
    EXPECT_TRUE(std::isfinite(effect.ThresholdGain()));
    int position = 0;
    EXPECT_EQ(ReadChunkVersion(Chunk({0x74, 0x66, 0x66, 0x70, 0x01}), &position), 0);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(LoadState(effect, Chunk(nans), -5), -5);
}

TEST_F(PresetTest, BanksRestoreNameAndValuesAndReapplyTheCurrentPreset) {
    EXPECT_EQ(LoadBank(Bank("Crush", true, kFactoryPreset)), 116 - 7 + 5);
    EXPECT_STREQ(programs.Name(0), "Crush");
    EXPECT_EQ(Values(effect), kFactoryPreset);

    Bytes longer = Bank("First", true, kFactoryPreset);
    const Bytes second = Bank("Second", true, kDefaults);
    longer.insert(longer.end(), second.begin() + 8, second.end());
    EXPECT_EQ(LoadBank(longer), 8 + 4 + 5 + 1 + 96);
    EXPECT_STREQ(programs.Name(0), "First");

    EXPECT_EQ(LoadBank(Bank("Empty", false, {})), 8 + 4 + 5 + 1);
    EXPECT_TRUE(programs.At(0)->initialized);
    EXPECT_STREQ(programs.Name(0), "user preset 1");
}

TEST_F(PresetTest, MalformedBanksEndAtMinusOneKeepingWhatWasReadable) {
    Bytes truncated = Bank("Default", true, kFactoryPreset);
    truncated.resize(truncated.size() - 3);
    EXPECT_EQ(LoadBank(truncated), -1);
    Bytes noFlag = kHeader;
    noFlag.insert(noFlag.end(), {2, 0, 0, 0, 'a', 'b'});
    EXPECT_EQ(LoadBank(noFlag), -1);
    EXPECT_STREQ(programs.Name(0), "ab");
    EXPECT_EQ(LoadBank(Bank("", true, kFactoryPreset)), 8 + 4 + 1 + 96);
    EXPECT_STREQ(programs.Name(0), "ab") << "an empty stored name keeps the old one";
}

TEST_F(PresetTest, OverlongNamesAreCutAndEmptyOnesIgnored) {
    const std::string name(300, 'p');
    EXPECT_TRUE(programs.Rename(0, name.c_str()));
    EXPECT_EQ(std::string(programs.Name(0)), std::string(255, 'p'));
    EXPECT_FALSE(programs.Rename(1, "x"));
    programs.UpdateCurrent("");
    EXPECT_EQ(std::string(programs.Name(0)), std::string(255, 'p'));
    programs.UpdateCurrent("Mine");
    EXPECT_STREQ(programs.Name(0), "Mine");
}

TEST(PresetSlots, EmptySlotsAreNamedAfterUserPresetsAndAddingStopsWhenFull) {
    IEffectBase effect({2, "2-2", 3, "t", "", "", 0, 0, 0, 0, false, false});
    effect.ParameterAt(0)->SetupContinuous("a", 4, 0, 10, 1, "");
    VST2Programs programs(effect);
    programs.Rename(0, "my user preset");
    ASSERT_TRUE(programs.Load(2));
    EXPECT_STREQ(programs.Name(2), "user preset 2") << "every name containing the text counts";
    EXPECT_EQ(programs.At(2)->values.Size(), 16) << "the live values are stored";
    EXPECT_STREQ(effect.PresetName(2), "- 2 -") << "the factory's presets stay as they were";

    IEffectBase fresh({2, "2-2", 3, "t", "", "", 0, 0, 0, 0, false, false});
    EXPECT_FALSE(fresh.AddPresetFromValues("wrong count", 1.0));
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(fresh.AddPresetFromValues(name, 99.0, 1));
    EXPECT_FALSE(fresh.AddPresetFromValues("d", 4.0, 1));
    double first = 0;
    fresh.PresetAt(0)->values.GetDouble(&first, 0);
    EXPECT_EQ(first, 99.0) << "stored without limiting";
    fresh.EnsureOnePreset();
    EXPECT_EQ(fresh.PresetCount(), 3);

    IEffectBase none({1, "1-1", 0, "t", "", "", 0, 0, 0, 0, false, false});
    none.EnsureOnePreset();
    ASSERT_EQ(none.PresetCount(), 1);
    EXPECT_STREQ(none.PresetName(0), "Default");
}
