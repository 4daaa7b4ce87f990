#include "Quelor.h"
#include "EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {
std::string Display(const Quelor& effect, int index, double value) {
    char text[kParameterTextSize];
    effect.ParameterAt(index)->FormatForHost(value, false, text);
    return text;
}
} // namespace

TEST(QuelorIdentity, DeclaresItselfToTheFramework) {
    const Quelor effect;
    EXPECT_STREQ(effect.EffectName(), "Quelor");
    EXPECT_STREQ(effect.ProductName(), "");
    EXPECT_STREQ(effect.MakerName(), "Brovane");
    EXPECT_EQ(effect.EffectVersion(false), 0x10000);
    EXPECT_EQ(effect.EffectVersion(true), 10000);
    EXPECT_EQ(effect.UniqueId(), 0x516C7231);
    EXPECT_EQ(effect.MakerId(), 0x42766E65);
    EXPECT_EQ(effect.ParameterCount(), 12);
    EXPECT_EQ(effect.PresetCount(), 1);
    EXPECT_EQ(effect.LatencySamples(), 0);
    EXPECT_FALSE(effect.DoesChunks());
    EXPECT_FALSE(effect.IsInstrument());
    EXPECT_EQ(effect.ChannelConfigurationCount(), 4);
    EXPECT_TRUE(effect.LegalIO(3, 1));
    EXPECT_FALSE(effect.LegalIO(2, 1));
}

TEST(QuelorParameters, TableOfNamesRangesAndDefaults) {
    const Quelor effect;
    const struct {
        const char* name;
        ParameterKind kind;
        double value, minimum, maximum, step;
        const char* label;
    } table[] = {
        {"Attack", kKindContinuous, 1, 0, 300, 1, "ms"},
        {"Release", kKindContinuous, 100, 0, 1500, 1, "ms"},
        {"Hold", kKindContinuous, 5, 0, 30, 1, "ms"},
        {"Ratio", kKindContinuous, 3, 1, 30, 0.1, ""},
        {"Stereo Mode", kKindChoice, 0, 0, 2, 1, ""},
        {"Sidechain Input", kKindChoice, 0, 0, 1, 1, ""},
        {"Threshold", kKindContinuous, 0, -60, 0, 0.1, "dB"},
        {"Gain", kKindContinuous, 0, 0, 30, 0.1, "dB"},
        {"Mix", kKindContinuous, 100, 0, 100, 1, "%"},
        {"Release 2", kKindContinuous, 300, 0, 1500, 1, "ms"},
        {"Attenuation", kKindContinuous, 0, -30, 0, 0.1, "dB"},
        {"Brickwall", kKindChoice, 1, 0, 1, 1, ""},
    };
    for (int i = 0; i < 12; ++i) {
        const IParameter& p = *effect.ParameterAt(i);
        SCOPED_TRACE(table[i].name);
        EXPECT_STREQ(p.NameForHost(), table[i].name);
        EXPECT_EQ(p.Kind(), table[i].kind);
        EXPECT_EQ(p.Value(), table[i].value);
        EXPECT_EQ(p.Minimum(), table[i].minimum);
        EXPECT_EQ(p.Maximum(), table[i].maximum);
        EXPECT_EQ(p.Step(), table[i].step);
        EXPECT_STREQ(p.LabelForHost(), table[i].label);
        EXPECT_EQ(p.Shape(), i == Quelor::kRatio ? 2.0 : 1.0);
    }
}

TEST(QuelorParameters, DisplayTexts) {
    const Quelor effect;
    EXPECT_EQ(Display(effect, Quelor::kBrickwall, 0), "On");
    EXPECT_EQ(Display(effect, Quelor::kBrickwall, 1), "Off");
    EXPECT_EQ(Display(effect, Quelor::kStereoMode, 2), "Dual Mono");
    EXPECT_EQ(Display(effect, Quelor::kStereoMode, 1), "Maximum");
    EXPECT_EQ(Display(effect, Quelor::kSidechainInput, 1), "Chn. 3/4");
    EXPECT_EQ(Display(effect, Quelor::kSidechainInput, 0), "Chn. 1/2");
    EXPECT_EQ(Display(effect, Quelor::kThreshold, -20), "-20.0");
    EXPECT_EQ(Display(effect, Quelor::kThreshold, 0), "0");
    EXPECT_EQ(Display(effect, Quelor::kRatio, 3), "3.0");
    EXPECT_EQ(Display(effect, Quelor::kAttack, 12.9), "12");
    EXPECT_EQ(Display(effect, Quelor::kMix, 100), "100");
}

TEST(QuelorDerivedValues, FollowEveryParameterChange) {
    Quelor effect;
    OpenLikeHost(effect, 44100, 256);
    EXPECT_EQ(effect.ThresholdGain(), 1.0);
    EXPECT_NEAR(effect.RatioExponent(), 1.0 / 3.0 - 1.0, 1e-15);
    EXPECT_EQ(effect.MixAmount(), 1.0);
    EXPECT_EQ(effect.MakeupGain(), 1.0);
    EXPECT_EQ(effect.AttenuationGain(), 1.0);

    SetParameter(effect, Quelor::kThreshold, -60);
    EXPECT_NEAR(effect.ThresholdGain(), 0.001, 1e-15);
    EXPECT_EQ(effect.ThresholdInverse(), 1.0 / effect.ThresholdGain());
    SetParameter(effect, Quelor::kRatio, 30);
    EXPECT_EQ(effect.RatioExponent(), -1.0);
    SetParameter(effect, Quelor::kRatio, 1);
    EXPECT_EQ(effect.RatioExponent(), 0.0);
    effect.ParameterAt(Quelor::kRatio)->SetLimited(29.9);
    effect.ParameterChanged(Quelor::kRatio);
    EXPECT_EQ(effect.RatioExponent(), 1.0 / 29.9 - 1.0);
    SetParameter(effect, Quelor::kMix, 50);
    EXPECT_EQ(effect.MixAmount(), 0.5);
    SetParameter(effect, Quelor::kGain, 30);
    EXPECT_NEAR(effect.MakeupGain(), 31.6227766017, 1e-9);
    SetParameter(effect, Quelor::kAttenuation, -30);
    EXPECT_NEAR(effect.AttenuationGain(), 0.0316227766017, 1e-12);
}

TEST(QuelorDerivedValues, TimeConstantsGoToTheirOwnEnvelopes) {
    Quelor effect;
    OpenLikeHost(effect, 44100, 256);
    EXPECT_NEAR(effect.Envelope1().AttackCoefficient(), 0.0224205747408, 1e-13);
    SetParameter(effect, Quelor::kAttack, 0);
    EXPECT_EQ(effect.Envelope1().AttackCoefficient(), 1.0);
    EXPECT_EQ(effect.Envelope2().AttackCoefficient(), 1.0);

    const double limiterRelease = effect.LimiterEnvelope().ReleaseCoefficient();
    SetParameter(effect, Quelor::kRelease, 10);
    EXPECT_EQ(effect.LimiterEnvelope().ReleaseCoefficient(), limiterRelease);
    EXPECT_EQ(effect.Envelope2().ReleaseCoefficient(), PeakHoldEnvelope::Coefficient(10, 44100));

    const double release = effect.Envelope1().ReleaseCoefficient();
    SetParameter(effect, Quelor::kRelease2, 0);
    EXPECT_EQ(effect.LimiterEnvelope().ReleaseCoefficient(), 1.0);
    EXPECT_EQ(effect.Envelope1().ReleaseCoefficient(), release);
    EXPECT_EQ(effect.LimiterEnvelope().AttackCoefficient(), 1.0);
    EXPECT_EQ(effect.LimiterEnvelope().WindowLength(), 1u);
}

TEST(QuelorDerivedValues, HoldLengthsAtDifferentSampleRates) {
    EXPECT_EQ(Quelor::HoldLengthFor(5, 44100), 220u);
    EXPECT_EQ(Quelor::HoldLengthFor(5, 48000), 240u);
    EXPECT_EQ(Quelor::HoldLengthFor(30, 192000), 5760u);
    EXPECT_EQ(Quelor::HoldLengthFor(30, 384000), 5760u);
    EXPECT_EQ(Quelor::HoldLengthFor(0, 44100), 0u);
    EXPECT_EQ(Quelor::HoldLengthFor(30, 1e30), 5760u);
    EXPECT_EQ(Quelor::HoldLengthFor(5, std::nan("")), 0u);

    Quelor effect;
    OpenLikeHost(effect, 48000, 256);
    EXPECT_EQ(effect.Envelope1().WindowLength(), 240u);
    EXPECT_EQ(effect.Envelope2().WindowLength(), 240u);
    SetParameter(effect, Quelor::kHold, 0);
    EXPECT_EQ(effect.Envelope1().WindowLength(), 1u);
}

TEST(QuelorReset, ClearsHistoryAndResizesOnlyWhenTheBlockSizeChanged) {
    Quelor effect;
    OpenLikeHost(effect, 44100, 256);
    EXPECT_EQ(effect.BufferFrames(), 256);
    EXPECT_NEAR(effect.MeterCoeff(), 1.5116e-4, 1e-8);
    EXPECT_EQ(effect.GrDisplay(), 1.0);
    EXPECT_EQ(effect.LimiterDisplay(), 1.0);

    effect.SetMaxBlockSize(4096);
    EXPECT_EQ(effect.BufferFrames(), 256) << "only the reset resizes the work buffers";
    effect.ResetProcessing();
    EXPECT_EQ(effect.BufferFrames(), 4096);

    effect.ChangeSampleRate(96000);
    effect.ResetProcessing();
    EXPECT_EQ(effect.MeterCoeff(), 1.0 - std::exp(-1.0 / (96000 * 0.15)));
    EXPECT_EQ(effect.Envelope1().WindowLength(), 480u);
}

TEST(QuelorInstances, AreIndependent) {
    Quelor a, b;
    OpenLikeHost(a, 44100, 64);
    OpenLikeHost(b, 48000, 128);
    SetParameter(a, Quelor::kThreshold, -30);
    EXPECT_EQ(b.ThresholdGain(), 1.0);
    EXPECT_EQ(a.BufferFrames(), 64);
    EXPECT_EQ(b.BufferFrames(), 128);
    EXPECT_EQ(b.ParameterAt(Quelor::kThreshold)->Value(), 0.0);
}
