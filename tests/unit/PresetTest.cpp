#include "EffectTestSupport.h"
#include "Quelor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {
const std::vector<double> kDefaults{1, 100, 5, 3, 0, 0, 0, 0, 100, 300, 0, 1};
const std::vector<double> kFactoryPreset{1, 100, 5, 3, 0, 0, 0, 0, 100, 300, -30, 1};

std::vector<double> Values(const IEffectBase& effect) {
    std::vector<double> values;
    for (int i = 0; i < effect.ParameterCount(); ++i)
        values.push_back(effect.ParameterAt(i)->Value());
    return values;
}

std::vector<uint8_t> Bytes(const StateChunk& chunk) {
    return {chunk.Data(), chunk.Data() + chunk.Size()};
}

void AppendDoubles(std::vector<uint8_t>& bytes, const std::vector<double>& values) {
    for (double v : values) {
        uint8_t raw[8];
        std::memcpy(raw, &v, 8);
        bytes.insert(bytes.end(), raw, raw + 8);
    }
}

const std::vector<uint8_t> kHeader{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

StateChunk Chunk(const std::vector<uint8_t>& bytes) {
    StateChunk chunk;
    chunk.Assign(bytes.data(), static_cast<int>(bytes.size()));
    return chunk;
}

// What effGetChunk builds for a program and for the bank.
StateChunk ProgramChunk(Quelor& effect) {
    StateChunk chunk;
    IEffectBase::BeginVersionedChunk(chunk);
    EXPECT_TRUE(effect.SaveState(chunk));
    return chunk;
}

StateChunk BankChunk(Quelor& effect) {
    StateChunk chunk;
    IEffectBase::BeginVersionedChunk(chunk);
    effect.UpdateCurrentPreset(nullptr);
    EXPECT_TRUE(effect.SerializeAllPresets(chunk));
    return chunk;
}

// A bank of this effect: one preset.
std::vector<uint8_t> Bank(const char* name, bool initialized, const std::vector<double>& values) {
    std::vector<uint8_t> bytes = kHeader;
    const auto length = static_cast<uint8_t>(std::strlen(name));
    bytes.insert(bytes.end(), {length, 0, 0, 0});
    bytes.insert(bytes.end(), name, name + length);
    bytes.push_back(initialized ? 1 : 0);
    if (initialized)
        AppendDoubles(bytes, values);
    return bytes;
}

class PresetTest : public ::testing::Test {
protected:
    PresetTest() { OpenLikeHost(effect, 44100, 512); }
    Quelor effect;
};
} // namespace

TEST_F(PresetTest, FactoryPresetIsStoredWithoutTouchingTheParameters) {
    EXPECT_EQ(effect.PresetCount(), 1);
    EXPECT_STREQ(effect.PresetName(0), "Default");
    EXPECT_TRUE(effect.PresetAt(0)->initialized);
    EXPECT_EQ(Values(effect), kDefaults);
    std::vector<uint8_t> expected;
    AppendDoubles(expected, kFactoryPreset);
    EXPECT_EQ(Bytes(effect.PresetAt(0)->values), expected);
    effect.EnsureOnePreset();
    EXPECT_EQ(effect.PresetCount(), 1);
}

TEST_F(PresetTest, LoadingTheFactoryPresetSetsItsAttenuation) {
    ASSERT_TRUE(effect.LoadPreset(0));
    EXPECT_EQ(Values(effect), kFactoryPreset);
    EXPECT_NEAR(effect.AttenuationGain(), 0.0316227766, 1e-10);
    EXPECT_FALSE(effect.LoadPreset(1));
    EXPECT_FALSE(effect.LoadPreset(-1));
}

TEST_F(PresetTest, ProgramChunkIsHeaderAndTwelveReals) {
    SetParameter(effect, Quelor::kThreshold, -20);
    const StateChunk chunk = ProgramChunk(effect);
    std::vector<uint8_t> expected = kHeader;
    std::vector<double> values = kDefaults;
    values[Quelor::kThreshold] = effect.ParameterAt(Quelor::kThreshold)->Value();
    AppendDoubles(expected, values);
    ASSERT_EQ(chunk.Size(), 104);
    EXPECT_EQ(Bytes(chunk), expected);
}

TEST_F(PresetTest, BankChunkHoldsTheLiveValuesOfTheCurrentPreset) {
    SetParameter(effect, Quelor::kMix, 50);
    const StateChunk chunk = BankChunk(effect);
    std::vector<double> values = kDefaults;
    values[Quelor::kMix] = 50;
    ASSERT_EQ(chunk.Size(), 116);
    EXPECT_EQ(Bytes(chunk), Bank("Default", true, values));
}

TEST_F(PresetTest, ProgramChunkRoundTripsAndRecomputesProcessing) {
    SetParameter(effect, Quelor::kThreshold, -40);
    SetParameter(effect, Quelor::kStereoMode, 2);
    const StateChunk saved = ProgramChunk(effect);
    Quelor other;
    OpenLikeHost(other, 44100, 512);
    int position = 0;
    EXPECT_EQ(IEffectBase::ReadChunkVersion(saved, &position), 0x10000);
    EXPECT_EQ(position, 8);
    EXPECT_EQ(other.LoadState(saved, position), 104);
    EXPECT_EQ(Values(other), Values(effect));
    EXPECT_NEAR(other.ThresholdGain(), 0.01, 1e-15);
}

TEST_F(PresetTest, TruncatedProgramChunkSetsWhatItHoldsAndZeroesTheFirstMissing) {
    SetParameter(effect, Quelor::kThreshold, -12);
    std::vector<uint8_t> bytes = kHeader;
    AppendDoubles(bytes, {10, 200, 7, 4, 2});
    const StateChunk chunk = Chunk(bytes);
    int position = 0;
    IEffectBase::ReadChunkVersion(chunk, &position);
    EXPECT_EQ(effect.LoadState(chunk, position), -1);
    const std::vector<double> values = Values(effect);
    EXPECT_EQ(values[0], 10);
    EXPECT_EQ(values[4], 2);
    EXPECT_EQ(values[Quelor::kSidechainInput], 0) << "the missing value is 0 limited to the range";
    EXPECT_EQ(values[Quelor::kThreshold], effect.ParameterAt(Quelor::kThreshold)->Value());
    EXPECT_NEAR(values[Quelor::kThreshold], -12, 1e-9) << "later parameters are left alone";
}

TEST_F(PresetTest, ChunkWithoutHeaderIsReadFromItsFirstByte) {
    std::vector<uint8_t> bytes;
    AppendDoubles(bytes, kFactoryPreset);
    const StateChunk chunk = Chunk(bytes);
    int position = 0;
    EXPECT_EQ(IEffectBase::ReadChunkVersion(chunk, &position), 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(effect.LoadState(chunk, position), 96);
    EXPECT_EQ(Values(effect), kFactoryPreset);
}

TEST_F(PresetTest, StoredValuesAreLimitedToTheirRanges) {
    std::vector<uint8_t> bytes;
    AppendDoubles(bytes, {1e9, -1e9, 5, 3, 7, 0, 0, 0, 100, 300, 0, 1});
    EXPECT_EQ(effect.LoadState(Chunk(bytes), 0), 96);
    EXPECT_EQ(effect.ParameterAt(0)->Value(), 300);
    EXPECT_EQ(effect.ParameterAt(1)->Value(), 0);
    EXPECT_EQ(effect.ParameterAt(Quelor::kStereoMode)->Value(), 2);
}

TEST_F(PresetTest, GarbageChunksNeverReadOutsideAndNeverPoisonTheEffect) {
    std::vector<uint8_t> bytes(96, 0xFF); // every value a NaN
    EXPECT_EQ(effect.LoadState(Chunk(bytes), 0), 96);
    for (int i = 0; i < effect.ParameterCount(); ++i)
        EXPECT_EQ(effect.ParameterAt(i)->Value(), effect.ParameterAt(i)->Minimum());
    EXPECT_TRUE(std::isfinite(effect.ThresholdGain()));

    const std::vector<uint8_t> tiny{0x74, 0x66, 0x66, 0x70, 0x01};
    int position = 0;
    EXPECT_EQ(IEffectBase::ReadChunkVersion(Chunk(tiny), &position), 0);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(effect.LoadState(Chunk({}), 0), -1);
    EXPECT_EQ(effect.LoadState(Chunk(bytes), -5), -5);
}

TEST_F(PresetTest, BankRestoresNameValuesAndReappliesTheCurrentPreset) {
    const std::vector<uint8_t> bank = Bank("Crush", true, kFactoryPreset);
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(bank), 8), 116 - 7 + 5);
    EXPECT_STREQ(effect.PresetName(0), "Crush");
    EXPECT_EQ(Values(effect), kFactoryPreset);
}

TEST_F(PresetTest, BankWithAnUninitializedPresetMakesItAUserPreset) {
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(Bank("Empty", false, {})), 8), 8 + 4 + 5 + 1);
    EXPECT_TRUE(effect.PresetAt(0)->initialized) << "loading it stores the live values";
    EXPECT_STREQ(effect.PresetName(0), "user preset 1");
}

TEST_F(PresetTest, MalformedBanksEndAtMinusOneWithoutReadingOutside) {
    std::vector<uint8_t> truncated = Bank("Default", true, kFactoryPreset);
    truncated.resize(truncated.size() - 3);
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(truncated), 8), -1);

    std::vector<uint8_t> lying = kHeader;
    lying.insert(lying.end(), {0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 1});
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(lying), 8), -1);
    EXPECT_STREQ(effect.PresetName(0), "Default");

    std::vector<uint8_t> negative = kHeader;
    negative.insert(negative.end(), {0xF0, 0xFF, 0xFF, 0xFF, 1});
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(negative), 8), -1);

    std::vector<uint8_t> noFlag = kHeader;
    noFlag.insert(noFlag.end(), {2, 0, 0, 0, 'a', 'b'});
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(noFlag), 8), -1);
    EXPECT_STREQ(effect.PresetName(0), "ab") << "the name was readable";

    std::vector<uint8_t> emptyName = Bank("", true, kFactoryPreset);
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(emptyName), 8), 8 + 4 + 1 + 96);
    EXPECT_STREQ(effect.PresetName(0), "ab") << "an empty stored name keeps the old one";
}

TEST_F(PresetTest, LongerBankIsReadForOurPresetsOnly) {
    std::vector<uint8_t> bank = Bank("First", true, kFactoryPreset);
    const std::vector<uint8_t> second = Bank("Second", true, kDefaults);
    bank.insert(bank.end(), second.begin() + 8, second.end());
    EXPECT_EQ(effect.UnserializeAllPresets(Chunk(bank), 8), 8 + 4 + 5 + 1 + 96);
    EXPECT_STREQ(effect.PresetName(0), "First");
}

TEST_F(PresetTest, OverlongNamesAreCut) {
    const std::string name(300, 'p');
    EXPECT_TRUE(effect.SetPresetName(0, name.c_str()));
    EXPECT_EQ(std::string(effect.PresetName(0)), std::string(255, 'p'));
    EXPECT_FALSE(effect.SetPresetName(1, "x"));
    effect.UpdateCurrentPreset("");
    EXPECT_EQ(std::string(effect.PresetName(0)), std::string(255, 'p'));
    effect.UpdateCurrentPreset("Mine");
    EXPECT_STREQ(effect.PresetName(0), "Mine");
}

namespace {
EffectIdentity ThreePresets() {
    return {2, "2-2", 3, "t", "", "", 0, 0, 0, 0, false, false};
}
} // namespace

TEST(PresetNaming, UserPresetCountsEveryNameThatContainsTheText) {
    IEffectBase effect(ThreePresets());
    effect.SetPresetName(1, "user preset 1");
    effect.SetPresetName(2, "my user preset");
    char name[kPresetNameSize];
    effect.NextUserPresetName(name);
    EXPECT_STREQ(name, "user preset 3");
}

TEST(PresetNaming, LoadingAnEmptyPresetNamesItAndStoresTheLiveValues) {
    IEffectBase effect(ThreePresets());
    effect.ParameterAt(0)->SetupContinuous("a", 4, 0, 10, 1, "");
    effect.ParameterAt(1)->SetupChoice("b", 1, 2);
    ASSERT_TRUE(effect.LoadPreset(2));
    EXPECT_STREQ(effect.PresetName(2), "user preset 1");
    EXPECT_EQ(effect.CurrentPresetIndex(), 2);
    EXPECT_EQ(effect.PresetAt(2)->values.Size(), 16);
}

TEST(PresetNaming, AddPresetFromValuesFillsFreeSlotsThenStops) {
    IEffectBase effect(ThreePresets());
    EXPECT_FALSE(effect.AddPresetFromValues("wrong count", 1.0));
    EXPECT_TRUE(effect.AddPresetFromValues("a", 99.0, 1));
    EXPECT_TRUE(effect.AddPresetFromValues("b", 2.0, 0));
    EXPECT_TRUE(effect.AddPresetFromValues("c", 3.0, 1));
    EXPECT_FALSE(effect.AddPresetFromValues("d", 4.0, 1));
    EXPECT_STREQ(effect.PresetName(2), "c");
    double first = 0;
    effect.PresetAt(0)->values.GetDouble(&first, 0);
    EXPECT_EQ(first, 99.0) << "stored without limiting";
}

TEST(PresetNaming, EnsureOnePresetMakesADefaultOnlyWhenThereIsNone) {
    IEffectBase none({1, "1-1", 0, "t", "", "", 0, 0, 0, 0, false, false});
    none.ParameterAt(0)->SetupContinuous("a", 0.5, 0, 1, 0.1, "");
    none.EnsureOnePreset();
    ASSERT_EQ(none.PresetCount(), 1);
    EXPECT_STREQ(none.PresetName(0), "Default");
    EXPECT_TRUE(none.PresetAt(0)->initialized);
    EXPECT_EQ(none.PresetAt(0)->values.Size(), 8);
}
