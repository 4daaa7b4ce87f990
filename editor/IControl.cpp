#include "IControl.h"

#include "IDrawContext.h"
#include "IEditorParameters.h"

#include <cmath>

namespace {
constexpr double kWheelStep = 0.01;
constexpr double kFineWheelStep = 0.001;
constexpr float kDimmedWeight = 0.25f;
// A switch past its last position, allowing for rounding of the steps.
constexpr double kSwitchWrap = 1.001;

IRectangle FrameRect(int x, int y, const IFrameBitmap& bitmap) {
    return {x, y, x + bitmap.width, y + bitmap.FrameHeight()};
}
} // namespace

IControl::IControl(const IRectangle& area, int index, const IDrawBlend& drawBlend)
    : rect(area), targetRect(area), paramIndex(index), blend(drawBlend) {}

IEditorParameters* IControl::Parameters() const {
    return owner ? owner->Parameters() : nullptr;
}

void IControl::MousePressed(int, int, const IMouseKeys& keys) {
    if (keys.right)
        RequestValueEntry();
}

void IControl::MouseReleased(int, int) {}

void IControl::MouseDragged(int, int, int, int, const IMouseKeys&) {}

void IControl::MouseDoubleClicked(int, int, const IMouseKeys&) {
    const double first = defaultValue.load();
    if (first < 0.0)
        return;
    value.store(first);
    MarkDirty(true);
}

void IControl::MouseWheeled(int, int, const IMouseKeys& keys, int steps) {
    const double step = keys.control || keys.shift ? kFineWheelStep : kWheelStep;
    value.store(value.load() + steps * step);
    MarkDirty(true);
}

void IControl::MouseHovered(int, int, const IMouseKeys&) {}

void IControl::MouseExited() {}

void IControl::ApplyValueFromPlug(double v) {
    double first = defaultValue.load();
    if (first >= 0.0 && v == value.load())
        return;
    if (first < 0.0)
        defaultValue.compare_exchange_strong(first, v);
    value.store(v);
    redraw.Set(Marks::kPending);
    MarkDirty(false);
}

void IControl::SetHidden(bool flag) {
    hidden = flag;
    redraw.Set(Marks::kPending);
    MarkDirty(false);
}

void IControl::SetDimmed(bool flag) {
    dimmed = flag;
    blend.weight = flag ? kDimmedWeight : 1.0f;
    MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const { return targetRect.Contains(x, y); }

void IControl::MarkDirty(bool informPlug) {
    const double v = value.load();
    if (!(v >= clampLow)) // NaN too: a control never holds an unusable value
        value.store(clampLow);
    else if (v > clampHigh)
        value.store(clampHigh);
    redraw.Set(Marks::kDirty);
    if (IEditorParameters* parameters = Parameters(); informPlug && parameters && paramIndex >= 0)
        parameters->SetParameterFromEditor(paramIndex, value.load());
}

void IControl::MarkClean() {
    redraw.Clean();
}

void IControl::SetValueFromEntry(double v) {
    if (v == value.load())
        return;
    value.store(v);
    MarkDirty(true);
    redraw.Set(Marks::kPending);
}

void IControl::RequestValueEntry() {
    IEditorParameters* parameters = Parameters();
    if (paramIndex < 0 || noValueEntry || !parameters)
        return;
    owner->OpenValueEntry(this, parameters->DescribeParameter(paramIndex));
    redraw.Set(Marks::kPending);
}

IBitmapControl::IBitmapControl(int x, int y, int index, const IFrameBitmap& image, int blendMethod)
    : IControl(FrameRect(x, y, image), index, {blendMethod, 1.0f}), bitmap(image) {}

int IBitmapControl::FrameForValue(double v, int frameCount) {
    if (frameCount <= 1)
        return 1;
    const double frame = std::trunc((frameCount - 1) * v + 0.5) + 1.0;
    if (!(frame >= 1.0))
        return 1;
    return frame > frameCount ? frameCount : static_cast<int>(frame);
}

void IBitmapControl::Render(IDrawContext& context) {
    context.DrawFrame(bitmap, Rect(), FrameForValue(Value(), bitmap.frameCount), &Blend());
}

void ISwitchControl::MousePressed(int, int, const IMouseKeys& keys) {
    double v = Value();
    if (keys.right)
        RequestValueEntry();
    else
        v += bitmap.frameCount > 1 ? 1.0 / (bitmap.frameCount - 1) : 1.0;
    if (v > kSwitchWrap)
        v = 0.0;
    SetValue(v);
    MarkDirty(true);
}

IFaderControl::IFaderControl(int x, int y, int travel, int index, const IFrameBitmap& image,
                             int dir)
    : IControl(dir == kVertical ? IRectangle{x, y, x + image.width, y + travel}
                                : IRectangle{x, y, x + travel, y + image.height},
               index, {kDrawBlendAlpha, 1.0f}),
      length(travel), handleSize(dir == kVertical ? image.height : image.width), bitmap(image),
      direction(dir) {}

IRectangle IFaderControl::HandleRect(double v) const {
    if (v < 0.0)
        v = Value();
    const IRectangle& r = Rect();
    IRectangle handle{r.L, r.T, r.L + bitmap.width, r.T + bitmap.height};
    const double travel = length - handleSize;
    if (direction == kVertical) {
        const auto offset = static_cast<int32_t>(travel * (1.0 - v));
        handle.T += offset;
        handle.B += offset;
    } else {
        const auto offset = static_cast<int32_t>(travel * v);
        handle.L += offset;
        handle.R += offset;
    }
    return handle;
}

void IFaderControl::SnapToPointer(int x, int y) {
    const int half = handleSize / 2;
    const double travel = length - handleSize;
    if (travel <= 0.0)
        return; // a handle as long as its track has nowhere to go
    const IRectangle& r = Rect();
    if (direction == kVertical)
        SetValue(1.0 - (y - r.T - half) / travel);
    else
        SetValue((x - r.L - half) / travel);
    MarkDirty(true);
}

void IFaderControl::MousePressed(int x, int y, const IMouseKeys& keys) {
    if (keys.right)
        RequestValueEntry();
    else
        SnapToPointer(x, y);
}

void IFaderControl::MouseDragged(int x, int y, int, int, const IMouseKeys&) { SnapToPointer(x, y); }

void IFaderControl::Render(IDrawContext& context) {
    drawnHandle = HandleRect();
    context.DrawFrame(bitmap, drawnHandle, 1, &Blend());
}

IRectangle IFaderControl::DirtyRect() const {
    return drawnHandle.Empty() ? Rect() : drawnHandle.Union(HandleRect());
}

IKnobControl::IKnobControl(const IRectangle& area, int index)
    : IControl(area, index, {kDrawBlendAlpha, 1.0f}) {}

void IKnobControl::MouseDragged(int, int, int dx, int dy, const IMouseKeys&) {
    const IRectangle& r = Rect();
    if (r.Width() == 0 || r.Height() == 0)
        return;
    if (direction == IFaderControl::kVertical)
        SetValue(Value() + static_cast<double>(dy) / (r.T - r.B) / gearing);
    else
        SetValue(Value() + static_cast<double>(dx) / (r.R - r.L) / gearing);
    MarkDirty(true);
}

IKnobMultiControl::IKnobMultiControl(int x, int y, int index, const IFrameBitmap& image)
    : IKnobControl(FrameRect(x, y, image), index), bitmap(image) {}

void IKnobMultiControl::Render(IDrawContext& context) {
    context.DrawFrame(bitmap, Rect(), IBitmapControl::FrameForValue(Value(), bitmap.frameCount),
                      &Blend());
}
