#include "IParameter.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Display(const IParameter& p, double v, bool normalized = false) {
    char text[kParameterTextSize];
    p.FormatForHost(v, normalized, text);
    return text;
}

IParameter Continuous(double minimum, double maximum, double step) {
    IParameter p;
    p.SetupContinuous("p", 0, minimum, maximum, step, "");
    return p;
}
} // namespace

TEST(ParameterSetup, RangesDefaultsPrecisionAndCutTexts) {
    IParameter narrow;
    narrow.SetupContinuous("Width", 5.0, 0.0, 0.05, 0.1, "x");
    EXPECT_EQ(narrow.Maximum(), 0.1) << "a range narrower than the step is widened";
    EXPECT_EQ(narrow.Value(), 5.0) << "the default is neither limited nor snapped";

    IParameter choice;
    choice.SetupChoice("Mode", 1, 3);
    EXPECT_EQ(choice.Maximum(), 2.0);
    EXPECT_EQ(choice.Value(), 1.0);

    const struct {
        double step;
        int precision;
    } steps[] = {{1, 0}, {0.5, 1}, {0.25, 2}, {1e-9, 6}};
    for (const auto& c : steps)
        EXPECT_EQ(Continuous(0, 10, c.step).Precision(), c.precision) << "step " << c.step;

    IParameter p;
    p.SetResponseShape(2.0);
    p.SetResponseShape(0.0);
    EXPECT_EQ(p.Shape(), 2.0) << "a zero shape is ignored";
    const std::string longText(40, 'n');
    p.SetupContinuous(longText.c_str(), 0, 0, 1, 1, longText.c_str());
    EXPECT_EQ(std::string(p.NameForHost()), std::string(31, 'n'));
    EXPECT_EQ(std::string(p.LabelForHost()), std::string(31, 'n'));
}

TEST(ParameterConversion, ValuesOutsideTheRangeAndNonFiniteOnesLandOnIt) {
    IParameter threshold = Continuous(-60, 0, 0.1);
    EXPECT_EQ(threshold.Normalize(-100), 0.0);
    EXPECT_EQ(threshold.Normalize(10), 1.0);
    IParameter p = Continuous(0, 300, 1);
    for (const auto& [normalized, value] :
         {std::pair{1.5, 300.0}, {-2.0, 0.0}, {kNaN, 300.0}, {-kInf, 0.0}}) {
        p.SetFromNormalized(normalized);
        EXPECT_EQ(p.Value(), value) << normalized;
    }
    p.SetLimited(kNaN);
    EXPECT_EQ(p.Value(), 0.0);
    p.SetLimited(1e300);
    EXPECT_EQ(p.Value(), 300.0);
}

TEST(ParameterDisplay, NumbersFollowThePrecisionAndStayInTheBuffer) {
    const IParameter tenths = Continuous(-100, 100, 0.1);
    const IParameter whole = Continuous(-100, 1000, 1);
    const struct {
        const IParameter& p;
        double v;
        bool normalized;
        const char* text;
    } cases[] = {
        {tenths, -0.0, false, "0"},
        {tenths, -20.04, false, "-20.0"},
        {whole, -0.7, false, "0"},
        {whole, 299.6, false, "299"},
        {whole, 1e300, false, "2147483647"},
        {whole, -1e300, false, "-2147483648"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Display(c.p, c.v, c.normalized), c.text) << c.v;
    EXPECT_EQ(Display(Continuous(0, 1, 1e-6), 1e300).size(), 31u);
}

TEST(ParameterValueTexts, WinOverNumbersAndLookupsTakeTheFirstExactMatch) {
    IParameter p;
    p.SetupChoice("Brickwall", 1, 2);
    p.AddValueText(0, "On");
    p.AddValueText(1, "Off");
    p.AddValueText(1, "Later");
    EXPECT_EQ(Display(p, 1.0), "Off");
    EXPECT_EQ(Display(p, 1.0, true), "Off");
    EXPECT_EQ(Display(p, 0.0), "On");
    EXPECT_EQ(Display(p, 1.9), "Off");
    EXPECT_STREQ(p.ValueTextFor(5), "");
    int32_t v = 42;
    EXPECT_FALSE(p.FindValueText("off", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(p.FindValueText("Off", &v));
    EXPECT_EQ(v, 1);
}
