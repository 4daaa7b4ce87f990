#include "IParameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {
std::string Display(const IParameter& p, double v, bool normalized = false) {
    char text[kParameterTextSize];
    p.FormatForHost(v, normalized, text);
    return text;
}

IParameter OnOff() {
    IParameter p;
    p.SetupChoice("Brickwall", 1, 2);
    p.AddValueText(0, "On");
    p.AddValueText(1, "Off");
    return p;
}
} // namespace

TEST(ParameterSetup, NewRecordDefaults) {
    IParameter p;
    EXPECT_EQ(p.Kind(), kKindNone);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_EQ(p.Minimum(), 0.0);
    EXPECT_EQ(p.Maximum(), 1.0);
    EXPECT_EQ(p.Step(), 1.0);
    EXPECT_EQ(p.Shape(), 1.0);
    EXPECT_STREQ(p.NameForHost(), "");
}

TEST(ParameterSetup, ContinuousWidensANarrowRangeAndKeepsTheDefaultUnlimited) {
    IParameter p;
    p.SetupContinuous("Width", 5.0, 0.0, 0.05, 0.1, "x");
    EXPECT_EQ(p.Kind(), kKindContinuous);
    EXPECT_EQ(p.Maximum(), 0.1);
    EXPECT_EQ(p.Value(), 5.0) << "the default is neither limited nor snapped";
    EXPECT_STREQ(p.LabelForHost(), "x");
}

TEST(ParameterSetup, ChoiceGetsItsRangeAndKeepsItsKind) {
    IParameter p;
    p.SetupChoice("Mode", 1, 3);
    EXPECT_EQ(p.Kind(), kKindChoice);
    EXPECT_EQ(p.Minimum(), 0.0);
    EXPECT_EQ(p.Maximum(), 2.0);
    EXPECT_EQ(p.Step(), 1.0);
    EXPECT_EQ(p.Precision(), 0);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_STREQ(p.LabelForHost(), "");
}

TEST(ParameterSetup, PrecisionFollowsTheStep) {
    const struct {
        double step;
        int precision;
    } cases[] = {{1, 0},    {0.1, 1},  {0.5, 1},   {0.01, 2},
                 {0.05, 2}, {0.25, 2}, {0.001, 3}, {1e-9, 6}};
    for (const auto& c : cases) {
        IParameter p;
        p.SetupContinuous("p", 0, 0, 10, c.step, "");
        EXPECT_EQ(p.Precision(), c.precision) << "step " << c.step;
    }
}

TEST(ParameterSetup, ZeroShapeIsIgnoredAndLongTextsAreCut) {
    IParameter p;
    p.SetResponseShape(2.0);
    p.SetResponseShape(0.0);
    EXPECT_EQ(p.Shape(), 2.0);
    const std::string longName(40, 'n');
    p.SetupContinuous(longName.c_str(), 0, 0, 1, 1, longName.c_str());
    EXPECT_EQ(std::string(p.NameForHost()), std::string(31, 'n'));
    EXPECT_EQ(std::string(p.LabelForHost()), std::string(31, 'n'));
}

TEST(ParameterConversion, ChoiceSnapsHalfUp) {
    IParameter p;
    p.SetupChoice("Mode", 0, 3);
    p.SetFromNormalized(0.5);
    EXPECT_EQ(p.Value(), 1.0);
    p.SetFromNormalized(0.75);
    EXPECT_EQ(p.Value(), 2.0);
    p.SetFromNormalized(0.2);
    EXPECT_EQ(p.Value(), 0.0);
}

TEST(ParameterConversion, ShapedContinuousRoundTrips) {
    IParameter p;
    p.SetupContinuous("Ratio", 3, 1, 30, 0.1, "");
    p.SetResponseShape(2.0);
    p.SetFromNormalized(0.5);
    EXPECT_EQ(p.Value(), 8.25);
    EXPECT_DOUBLE_EQ(p.Normalize(8.25), 0.5);
    for (double v : {1.0, 1.7, 3.0, 12.3, 29.9, 30.0}) {
        p.SetFromNormalized(p.Normalize(v));
        EXPECT_NEAR(p.Value(), v, 1e-12);
    }
}

TEST(ParameterConversion, NormalizeLimitsToTheRange) {
    IParameter p;
    p.SetupContinuous("Threshold", 0, -60, 0, 0.1, "dB");
    EXPECT_EQ(p.Normalize(-100), 0.0);
    EXPECT_EQ(p.Normalize(10), 1.0);
    EXPECT_EQ(p.Normalize(-30), 0.5);
}

TEST(ParameterConversion, HostValuesOutsideZeroToOneLandOnTheRange) {
    IParameter p;
    p.SetupContinuous("Attack", 1, 0, 300, 1, "ms");
    p.SetFromNormalized(1.5);
    EXPECT_EQ(p.Value(), 300.0);
    p.SetFromNormalized(-2.0);
    EXPECT_EQ(p.Value(), 0.0);
    p.SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 300.0);
    p.SetFromNormalized(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.Value(), 0.0);
    p.SetLimited(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 0.0);
    p.SetLimited(1e300);
    EXPECT_EQ(p.Value(), 300.0);
}

TEST(ParameterDisplay, NumbersFollowThePrecision) {
    IParameter tenths;
    tenths.SetupContinuous("t", 0, -100, 100, 0.1, "");
    EXPECT_EQ(Display(tenths, 0.0), "0");
    EXPECT_EQ(Display(tenths, -0.0), "0");
    EXPECT_EQ(Display(tenths, 3.0), "3.0");
    EXPECT_EQ(Display(tenths, -20.04), "-20.0");
    IParameter whole;
    whole.SetupContinuous("w", 0, -100, 1000, 1, "");
    EXPECT_EQ(Display(whole, -0.7), "0");
    EXPECT_EQ(Display(whole, 299.6), "299");
    EXPECT_EQ(Display(whole, 0.5, true), "450");
}

TEST(ParameterDisplay, ExtremeValuesStayInTheBuffer) {
    IParameter whole;
    whole.SetupContinuous("w", 0, 0, 1, 1, "");
    EXPECT_EQ(Display(whole, 1e300), "2147483647");
    EXPECT_EQ(Display(whole, -1e300), "-2147483648");
    IParameter fine;
    fine.SetupContinuous("f", 0, 0, 1, 1e-6, "");
    EXPECT_EQ(Display(fine, 1e300).size(), 31u);
}

TEST(ParameterDisplay, ValueTextsWinAndTruncate) {
    const IParameter p = OnOff();
    EXPECT_EQ(Display(p, 1.0), "Off");
    EXPECT_EQ(Display(p, 1.0, true), "Off");
    EXPECT_EQ(Display(p, 0.0), "On");
    EXPECT_EQ(Display(p, 1.9), "Off");
}

TEST(ParameterValueTexts, LookupsTakeTheFirstExactMatch) {
    IParameter p = OnOff();
    p.AddValueText(1, "Later");
    EXPECT_STREQ(p.ValueTextFor(1), "Off");
    EXPECT_STREQ(p.ValueTextFor(5), "");
    int32_t v = 42;
    EXPECT_FALSE(p.FindValueText("off", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(p.FindValueText("Off", &v));
    EXPECT_EQ(v, 1);
    EXPECT_EQ(p.ValueTextCount(), 3);
}

TEST(ParameterDecibels, ToAmplitude) {
    IParameter p;
    p.SetupContinuous("Gain", -20, -60, 30, 0.1, "dB");
    EXPECT_NEAR(p.DecibelsToAmplitude(), 0.1, 1e-13);
    p.SetLimited(-60);
    EXPECT_NEAR(p.DecibelsToAmplitude(), 0.001, 1e-15);
    p.SetLimited(0);
    EXPECT_EQ(p.DecibelsToAmplitude(), 1.0);
}
