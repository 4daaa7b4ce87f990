// The drawn value entry on its own: where it opens, what keys and clicks do to it, what
// a panel tick makes of it, and what it draws. No window system is involved.
#include "ValueEntryWidget.h"
#include "TextRenderer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
using Key = ValueEntryWidget::Key;
using Step = ValueEntryWidget::Step;

constexpr IRectangle kKnob{20, 180, 88, 248}; // centre (54, 214)
constexpr RAS_Pixel32 kFrame = 0xFF7A7A7A;
constexpr RAS_Pixel32 kPaper = 0xFFFFFFFF;
constexpr RAS_Pixel32 kSelection = 0xFF3874D8;

struct Threshold : IParameter {
    Threshold() { SetupContinuous("Threshold", -12.0, -60.0, 0.0, 0.1, "dB"); }
};

struct Switch : IParameter {
    Switch() {
        SetupChoice("Switch", 1, 2);
        AddValueText(0, "Off");
        AddValueText(1, "On");
    }
};

RAS_Pixel32 At(const ValueEntryWidget& entry, int x, int y) {
    const RAS_IBitmap& p = entry.Picture();
    return p.Pixels()[y * p.StridePixels() + x];
}

int CountOf(const ValueEntryWidget& entry, bool (*match)(RAS_Pixel32)) {
    const RAS_IBitmap& p = entry.Picture();
    int count = 0;
    for (int y = 1; y < p.PixelHeight() - 1; ++y)
        for (int x = 1; x < p.PixelWidth() - 1; ++x)
            count += match(At(entry, x, y));
    return count;
}

bool Ink(RAS_Pixel32 p) {
    return (p & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80;
}

bool Selected(RAS_Pixel32 p) {
    return p == kSelection;
}

TEST(ValueEntryWidget, OpensTheListBelowTheControlAndInsideThePanel) {
    // Items of 3 and 2 characters: 3 x 8 + 24 wide, 36 x 3 high, the second chosen.
    Switch on;
    ValueEntryWidget list(on, kKnob, 510, 370, nullptr);
    EXPECT_EQ(list.Rect(), (IRectangle{30, 214, 78, 322}));
    EXPECT_EQ(list.Selection(), 1);
    // Over the bottom-right corner it moves up and left; a panel smaller than the list
    // keeps its top-left corner.
    EXPECT_EQ(ValueEntryWidget(on, {480, 350, 510, 370}, 510, 370, nullptr).Rect(),
              (IRectangle{462, 262, 510, 370}));
    EXPECT_EQ(ValueEntryWidget(on, kKnob, 40, 40, nullptr).Rect(), (IRectangle{0, 0, 48, 108}));
}

TEST(ValueEntryWidget, TypingReplacesTheShownValueThenEditsItAndAnyTextHasAValue) {
    Threshold threshold;
    ValueEntryWidget entry(threshold, kKnob, 510, 370, nullptr);
    EXPECT_STREQ(entry.Text(), "-12.0");
    EXPECT_FALSE(entry.Press(Key::Up));
    // Control characters and bytes beyond ASCII are not text.
    EXPECT_FALSE(entry.Type("\t\x7f\xe9"));
    EXPECT_TRUE(entry.Type("-6\n5x"));
    EXPECT_TRUE(entry.Press(Key::Erase));
    EXPECT_STREQ(entry.Text(), "-65");
    EXPECT_TRUE(entry.Typing());
    EXPECT_EQ(entry.Tick(), Step::Skip);
    EXPECT_TRUE(entry.Press(Key::Commit));
    EXPECT_EQ(entry.Tick(), Step::Commit);
    EXPECT_FALSE(entry.Type("1"));
    EXPECT_DOUBLE_EQ(entry.CommittedValue(), threshold.Normalize(-60.0));

    // At most 31 characters; no number reads as 0, beyond the range as its end.
    const std::pair<std::string, double> cases[] = {{"x", 0.0},      {"", 0.0},
                                                    {"-1e9", -60.0}, {"nan", -60.0},
                                                    {"-6", -6.0},    {std::string(40, '1'), 0.0}};
    for (const auto& [typed, value] : cases) {
        ValueEntryWidget again(threshold, kKnob, 510, 370, nullptr);
        again.Press(Key::Erase);
        again.Type(typed);
        EXPECT_EQ(std::string(again.Text()), typed.substr(0, 31));
        EXPECT_DOUBLE_EQ(again.CommittedValue(), threshold.Normalize(value)) << typed;
    }
}

TEST(ValueEntryWidget, ListStepsWithinItsItemsAndCommitsAPickedRow) {
    Switch on;
    ValueEntryWidget entry(on, kKnob, 510, 370, nullptr);
    EXPECT_FALSE(entry.Type("O"));
    EXPECT_FALSE(entry.Press(Key::Erase));
    for (Key key : {Key::Down, Key::Up, Key::Up})
        EXPECT_TRUE(entry.Press(key));
    EXPECT_STREQ(entry.Text(), "Off");
    // The closed list's row takes the click and stays open; outside it nothing happens.
    EXPECT_TRUE(entry.Click(10, 10));
    EXPECT_FALSE(entry.Click(10, 108));
    EXPECT_FALSE(entry.Click(-1, 50));
    EXPECT_TRUE(entry.Click(10, 2 * 36 + 1));
    EXPECT_EQ(entry.Tick(), Step::Commit);
    EXPECT_DOUBLE_EQ(entry.CommittedValue(), 1.0);
}

TEST(ValueEntryWidget, FollowsTheParameterAfterARedrawUnlessTheUserTypes) {
    Threshold threshold;
    ValueEntryWidget entry(threshold, kKnob, 510, 370, nullptr);
    EXPECT_EQ(entry.Tick(), Step::Panel);
    threshold.SetFromNormalized(0.5);
    entry.PanelRedrew();
    EXPECT_EQ(entry.Tick(), Step::Skip);
    EXPECT_STREQ(entry.Text(), "-30.0");
    EXPECT_EQ(entry.Tick(), Step::Panel);
    // A click starts typing: the text holds still until the focus leaves.
    entry.SetFocused(true);
    EXPECT_TRUE(entry.Click(3, 3));
    threshold.SetFromNormalized(1.0);
    entry.PanelRedrew();
    EXPECT_EQ(entry.Tick(), Step::Skip);
    EXPECT_STREQ(entry.Text(), "-30.0");
    entry.SetFocused(false);
    entry.PanelRedrew();
    EXPECT_EQ(entry.Tick(), Step::Skip);
    EXPECT_STREQ(entry.Text(), "0");
    entry.Cancel();
    EXPECT_FALSE(entry.Press(Key::Commit));
    EXPECT_EQ(entry.Tick(), Step::Close);
}

TEST(ValueEntryWidget, DrawsWhenChangedWithTextWhereThereIsAFace) {
    std::unique_ptr<TextRenderer> text = TextRenderer::Create();
    ASSERT_TRUE(text);
    Threshold threshold;
    ValueEntryWidget entry(threshold, kKnob, 510, 370, text.get());
    EXPECT_TRUE(entry.Draw());
    EXPECT_FALSE(entry.Draw());
    EXPECT_EQ(At(entry, 35, 15), kFrame);
    EXPECT_EQ(At(entry, 1, 1), kPaper);
    EXPECT_GT(CountOf(entry, Ink), 10);
    // Focused, the shown value is selected: the first key replaces it.
    entry.SetFocused(true);
    EXPECT_TRUE(entry.Draw());
    EXPECT_GT(CountOf(entry, Selected), 20);
    entry.Type("1");
    EXPECT_TRUE(entry.Draw());
    EXPECT_EQ(CountOf(entry, Selected), 0);
    // Without a face the entry works, and draws all but the text.
    Switch on;
    ValueEntryWidget blind(on, kKnob, 510, 370, nullptr);
    ValueEntryWidget list(on, kKnob, 510, 370, text.get());
    EXPECT_TRUE(blind.Draw() && list.Draw());
    EXPECT_EQ(At(blind, 10, 36 * 2 + 10), kSelection);
    EXPECT_GT(CountOf(list, Ink), CountOf(blind, Ink) + 20);
}
} // namespace
