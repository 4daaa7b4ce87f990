#include "ValueEntryWidget.h"

#include "TextRenderer.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
// Sizes of the Windows text field and drop-down list the entry stands for.
constexpr int kFieldWidth = 36;
constexpr int kFieldHeight = 16;
constexpr int kListRowHeight = 36;
constexpr int kListCharWidth = 8;
constexpr int kListMinimumWidth = 24;
constexpr int kFontSize = 14;
constexpr int kListTextInset = 6;

constexpr RAS_Pixel32 kPaper = 0xFFFFFFFF;
constexpr RAS_Pixel32 kFrame = 0xFF7A7A7A;
constexpr RAS_Pixel32 kListHeader = 0xFFE6E6E6;
constexpr RAS_Pixel32 kArrow = 0xFF303030;
constexpr RAS_Pixel32 kSelection = 0xFF3874D8;
constexpr RAS_Pixel32 kCaret = 0xFF000000;
constexpr IDrawColor kInk{255, 0, 0, 0};
constexpr IDrawColor kSelectedInk{255, 255, 255, 255};

constexpr int kAlignLeft = 0;
constexpr int kAlignCentre = 1;

int Scaled(int units, double scale) {
    return static_cast<int>(std::lround(units * scale));
}

ITextStyle Style(int alignment, const IDrawColor& colour, double scale) {
    ITextStyle style;
    style.size = Scaled(kFontSize, scale);
    style.alignment = alignment;
    style.colour = colour;
    return style;
}

void Line(RAS_IBitmap& bitmap, float x0, float y0, float x1, float y1, RAS_Pixel32 colour) {
    RAS_DrawSegment(&bitmap, x0, y0, x1, y1, colour, 1.0f, RAS_OP_COPY, false);
}

void Frame(RAS_IBitmap& bitmap) {
    const auto right = static_cast<float>(bitmap.PixelWidth() - 1);
    const auto bottom = static_cast<float>(bitmap.PixelHeight() - 1);
    Line(bitmap, 0.0f, 0.0f, right, 0.0f, kFrame);
    Line(bitmap, 0.0f, bottom, right, bottom, kFrame);
    Line(bitmap, 0.0f, 0.0f, 0.0f, bottom, kFrame);
    Line(bitmap, right, 0.0f, right, bottom, kFrame);
}

// Where the entry opens over a control: a text field centred on it, a list below its
// centre, as wide as its longest item needs.
IRectangle Place(const IParameter& parameter, const IRectangle& control, int panelWidth,
                 int panelHeight, double scale) {
    const int cx = static_cast<int>(static_cast<float>(control.L + control.R) * 0.5f);
    const int cy = static_cast<int>(static_cast<float>(control.T + control.B) * 0.5f);
    int w = Scaled(kFieldWidth, scale);
    int h = Scaled(kFieldHeight, scale);
    int left = cx - w / 2;
    int top = cy - h / 2;
    const int n = parameter.ValueTextCount();
    if (n > 0) {
        h = Scaled(kListRowHeight, scale) * (n + 1);
        w = Scaled(kListMinimumWidth, scale);
        for (int i = 0; i < n; ++i) {
            const auto length = static_cast<int>(std::strlen(parameter.ValueTextFor(i)));
            w = std::max(w, Scaled(length * kListCharWidth + kListMinimumWidth, scale));
        }
        left = cx - w / 2;
        top = cy;
    }
    // Windows lets a dropped list leave the window; ours must stay inside it.
    left = std::max(0, std::min(left, panelWidth - w));
    top = std::max(0, std::min(top, panelHeight - h));
    return {left, top, left + w, top + h};
}
} // namespace

ValueEntryWidget::ValueEntryWidget(const IParameter& shown, const IRectangle& controlRect,
                                   int panelWidth, int panelHeight, TextRenderer* renderer,
                                   double drawScale)
    : parameter(shown), text(renderer), scale(drawScale),
      rect(Place(shown, controlRect, panelWidth, panelHeight, drawScale)),
      list(shown.ValueTextCount() > 0), pixels(rect.Width(), rect.Height()) {
    ShowParameterValue();
}

int ValueEntryWidget::Px(int units) const {
    return Scaled(units, scale);
}

const char* ValueEntryWidget::ItemText(int i) const {
    return i >= 0 && i < ItemCount() ? parameter.ValueTextFor(i) : "";
}

const char* ValueEntryWidget::Text() const {
    return list ? ItemText(selection) : field;
}

// One read of the value: the host may set it meanwhile, and the text and the chosen
// item must agree.
void ValueEntryWidget::ShowParameterValue() {
    const double value = parameter.Value();
    parameter.FormatForHost(value, false, field);
    replaceText = true;
    selection = -1;
    for (int i = 0; list && i < ItemCount(); ++i)
        if (std::strcmp(ItemText(i), field) == 0)
            selection = i;
    stale = true;
}

bool ValueEntryWidget::Type(std::string_view typed) {
    if (Finished() || list)
        return false;
    bool took = false;
    for (char c : typed) {
        if (c < ' ' || c > '~')
            continue;
        const std::size_t length = replaceText ? 0 : std::strlen(field);
        replaceText = false;
        took = true;
        if (length + 1 < sizeof field) {
            field[length] = c;
            field[length + 1] = '\0';
        }
    }
    if (took) {
        state = State::Typing;
        stale = true;
    }
    return took;
}

bool ValueEntryWidget::Press(Key key) {
    if (Finished())
        return false;
    switch (key) {
    case Key::Commit:
        state = State::Commit;
        return true;
    case Key::Cancel:
        state = State::Cancel;
        return true;
    case Key::Up:
    case Key::Down:
        if (!list || ItemCount() == 0)
            return false;
        selection = std::clamp(selection + (key == Key::Down ? 1 : -1), 0, ItemCount() - 1);
        break;
    case Key::Erase: {
        if (list)
            return false;
        const std::size_t length = replaceText ? 0 : std::strlen(field);
        field[length > 0 ? length - 1 : 0] = '\0';
        break;
    }
    }
    replaceText = false;
    state = State::Typing;
    stale = true;
    return true;
}

bool ValueEntryWidget::Click(int x, int y) {
    if (Finished() || x < 0 || y < 0 || x >= rect.Width() || y >= rect.Height())
        return false;
    if (!list) {
        state = State::Typing;
        stale = true;
        return true;
    }
    // The first row is the closed list; the items follow.
    const int row = y / Px(kListRowHeight);
    if (row >= 1 && row <= ItemCount()) {
        selection = row - 1;
        state = State::Commit;
        stale = true;
    }
    return true;
}

void ValueEntryWidget::Cancel() {
    state = State::Cancel;
}

void ValueEntryWidget::SetFocused(bool hasFocus) {
    if (focused == hasFocus)
        return;
    focused = hasFocus;
    // As on Windows: losing the focus leaves the entry open, following the parameter.
    if (!focused && state == State::Typing)
        state = State::Idle;
    stale = true;
}

ValueEntryWidget::Step ValueEntryWidget::Tick() {
    switch (state) {
    case State::Idle:
        return Step::Panel;
    case State::Typing:
        return Step::Skip;
    case State::Refresh:
        ShowParameterValue();
        state = State::Idle;
        return Step::Skip;
    case State::Commit:
        return Step::Commit;
    case State::Cancel:
        return Step::Close;
    }
    return Step::Panel;
}

void ValueEntryWidget::PanelRedrew() {
    if (state == State::Idle)
        state = State::Refresh;
}

double ValueEntryWidget::CommittedValue() const {
    double value = 0.0;
    if (list) {
        int32_t v = 0;
        parameter.FindValueText(ItemText(selection), &v);
        value = v;
    } else {
        value = std::atof(field);
    }
    return parameter.Normalize(value);
}

bool ValueEntryWidget::Draw() {
    if (!stale || !pixels.Pixels())
        return false;
    stale = false;
    RAS_FillArea(&pixels, 0, 0, pixels.PixelWidth(), pixels.PixelHeight(), kPaper, 1.0f,
                 RAS_OP_COPY);
    if (list)
        DrawList(text);
    else
        DrawField(text);
    Frame(pixels);
    return true;
}

void ValueEntryWidget::DrawList(TextRenderer* renderer) {
    const int w = pixels.PixelWidth();
    const int rowHeight = Px(kListRowHeight);
    RAS_FillArea(&pixels, 0, 0, w, rowHeight, kListHeader, 1.0f, RAS_OP_COPY);
    // The closed part of a drop-down list: the chosen text and its arrow.
    const auto ax = static_cast<float>(w - Px(12));
    const auto ay = static_cast<float>(rowHeight / 2 - Px(2));
    const int arrowRows = Px(4);
    const float arrowStep = 4.0f / static_cast<float>(arrowRows);
    for (int i = 0; i < arrowRows; ++i) {
        const float f = static_cast<float>(i) * arrowStep;
        const auto reach = static_cast<float>(scale) * (3.0f - f);
        Line(pixels, ax - reach, ay + static_cast<float>(i), ax + reach, ay + static_cast<float>(i),
             kArrow);
    }
    const auto header = static_cast<float>(rowHeight);
    Line(pixels, 0.0f, header, static_cast<float>(w - 1), header, kFrame);
    const int lineHeight = renderer ? renderer->LineHeight(Style(kAlignLeft, kInk, scale)) : 0;
    for (int row = 0; row <= ItemCount(); ++row) {
        const bool chosen = row > 0 && row - 1 == selection;
        const int top = row * rowHeight;
        if (chosen)
            RAS_FillArea(&pixels, 1, top + 1, w - 2, rowHeight - 1, kSelection, 1.0f,
                         RAS_OP_COPY);
        if (renderer)
            renderer->Draw(pixels, Style(kAlignLeft, chosen ? kSelectedInk : kInk, scale),
                           ItemText(row == 0 ? selection : row - 1),
                           {Px(kListTextInset), top + (rowHeight - lineHeight) / 2, w,
                            top + rowHeight});
    }
}

void ValueEntryWidget::DrawField(TextRenderer* renderer) {
    const int w = pixels.PixelWidth();
    const int h = pixels.PixelHeight();
    const ITextStyle style = Style(kAlignCentre, kInk, scale);
    const int textWidth = renderer ? renderer->Width(style, field) : 0;
    const int top = renderer ? (h - renderer->LineHeight(style)) / 2 : 0;
    // Centred as the Windows field is; a text too long for it shows its end.
    IRectangle box{0, top, w, h};
    if (textWidth > w - 4)
        box = {w - 2 - textWidth, top, w - 2, h};
    const int textLeft = box.L + (box.Width() - textWidth) / 2;
    if (replaceText && focused && textWidth > 0) {
        RAS_FillArea(&pixels, textLeft - 1, 1, textWidth + 2, h - 2, kSelection, 1.0f, RAS_OP_COPY);
        renderer->Draw(pixels, Style(kAlignCentre, kSelectedInk, scale), field, box);
        return;
    }
    if (renderer)
        renderer->Draw(pixels, style, field, box);
    if (focused) {
        const auto x = static_cast<float>(textLeft + textWidth);
        Line(pixels, x, static_cast<float>(Px(2)), x, static_cast<float>(h - Px(3)), kCaret);
    }
}
