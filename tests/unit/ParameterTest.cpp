#include "IParameter.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

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

TEST(ParameterText, HostTextsNameExactValuesAndEverythingElseIsRefused) {
    IParameter threshold;
    threshold.SetupContinuous("Threshold", 0, -60, 0, 0.1, "dB");
    IParameter ratio;
    ratio.SetupContinuous("Ratio", 3, 1, 30, 0.1, "");
    ratio.SetResponseShape(2.0);
    IParameter attack;
    attack.SetupContinuous("Attack", 1, 0, 300, 1, "ms");
    IParameter brickwall;
    brickwall.SetupChoice("Brickwall", 1, 2);
    brickwall.AddValueText(0, "On");
    brickwall.AddValueText(1, "Off");
    IParameter steps;
    steps.SetupChoice("Steps", 0, 31);
    // Ends with more decimals than the display shows: it rounds them to -60.0 and 0.0.
    const IParameter odd = Continuous(-59.97, 0.04, 0.1);
    const struct {
        const IParameter& p;
        const char* text;
        double value;
    } taken[] = {{threshold, " -20 dB\t", -20.0},
                 {threshold, "-20db", -20.0},
                 {threshold, "-.3", -0.3},
                 {ratio, "1.1", 1.1},
                 {ratio, "01.10000000000000000", 1.1},
                 {attack, "300.5", 300.0},
                 {brickwall, " oN ", 0.0},
                 {steps, "15.6", 16.0},
                 {odd, "-60.0", -59.97}};
    for (const auto& c : taken) {
        double value = 1234.5;
        EXPECT_TRUE(c.p.ParseFromHost(c.text, &value))
            << c.p.NameForHost() << " '" << c.text << "'";
        EXPECT_EQ(value, c.value) << c.p.NameForHost() << " '" << c.text << "'";
    }
    const std::pair<const IParameter*, std::vector<std::string>> refused[] = {
        {&threshold,
         {"-61", "0.5", "", "dB", "-", "- 20", "-2e1", "0x10", "-1,5", "nan", "-inf", "-20 ms",
          "-20 dB x", "--20", "-20.00000000000001", std::string(100, '1')}},
        {&attack, {"301"}},
        {&brickwall, {"1", "Of"}},
        {&steps, {"31"}},
        {&odd, {"0.1", "-60.1"}}};
    for (const auto& [p, texts] : refused)
        for (const std::string& text : texts) {
            double value = 7.0;
            EXPECT_FALSE(p->ParseFromHost(text.c_str(), &value)) << p->NameForHost() << " " << text;
            EXPECT_EQ(value, 7.0);
        }
    double untouched = 7.0;
    EXPECT_FALSE(threshold.ParseFromHost(nullptr, &untouched));

    // Every text the display shows names a value that shows that text again; "0.0" and
    // "-0.0", shown for values near 0, name 0, which shows as "0".
    const IParameter* const all[] = {&threshold, &ratio, &attack, &brickwall, &steps, &odd};
    for (const IParameter* p : all)
        for (int i = 0; i <= 1000; ++i) {
            const std::string text = Display(*p, i / 1000.0, true);
            double value = 0.0;
            ASSERT_TRUE(p->ParseFromHost(text.c_str(), &value)) << p->NameForHost() << " " << text;
            const bool zero = text.find_first_not_of("-0.") == std::string::npos;
            EXPECT_EQ(Display(*p, value), zero ? "0" : text) << p->NameForHost();
        }
}
