#include "IDrawContext.h"

#include "IParameter.h"

namespace {
constexpr int kDefaultFps = 24;
}

IDrawContext::IDrawContext(IEditorParameters* editorParameters, int panelWidth, int panelHeight,
                           int framesPerSecond)
    : parameters(editorParameters), width(panelWidth), height(panelHeight),
      fps(framesPerSecond > 0 ? framesPerSecond : kDefaultFps) {}

IDrawContext::~IDrawContext() {
    while (!controls.empty())
        controls.pop_back();
}

void IDrawContext::ResizeEditor(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    lastX = lastY = captured = -1;
    while (!controls.empty())
        controls.pop_back();
    if (parameters)
        parameters->PanelSizeChanged(newWidth, newHeight);
}

void IDrawContext::SetPanelSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    if (parameters)
        parameters->PanelSizeChanged(newWidth, newHeight);
}

void IDrawContext::SetBackground(int resourceId, const char* name) {
    const IFrameBitmap background = LoadFrameBitmap(resourceId, name, 1);
    auto control = std::make_unique<IBitmapControl>(0, 0, -1, background, kDrawBlendCopy);
    control->AttachToContext(this);
    controls.insert(controls.begin(), std::move(control));
}

void IDrawContext::DrawVerticalSegment(const IDrawColor& colour, int x, int yLow, int yHigh) {
    const IDrawBlend copy{kDrawBlendCopy, 1.0f};
    DrawSegment(colour, static_cast<float>(x), static_cast<float>(yLow), static_cast<float>(x),
                static_cast<float>(yHigh), &copy, false);
}

void IDrawContext::DrawHorizontalSegment(const IDrawColor& colour, int y, int xLow, int xHigh) {
    const IDrawBlend copy{kDrawBlendCopy, 1.0f};
    DrawSegment(colour, static_cast<float>(xLow), static_cast<float>(y), static_cast<float>(xHigh),
                static_cast<float>(y), &copy, false);
}

int IDrawContext::AppendControl(IControl* control) {
    if (!control)
        return -1;
    control->AttachToContext(this);
    controls.emplace_back(control);
    return ControlCount() - 1;
}

IControl* IDrawContext::ControlAt(int index) const {
    if (index < 0 || index >= ControlCount())
        return nullptr;
    return controls[static_cast<std::size_t>(index)].get();
}

bool IDrawContext::PaintRegion(const IRectangle& rect) {
    if (controls.empty())
        return true;
    paintRegion = rect;
    if (rect.Intersection({0, 0, width, height}) == IRectangle{0, 0, width, height})
        wholePanelDirty = false;
    // What lies under an opaque control that covers the whole region cannot show.
    std::size_t first = 0;
    for (std::size_t i = controls.size(); i-- > 0;) {
        const IControl& control = *controls[i];
        if (!control.IsHidden() && control.IsOpaque() &&
            control.Rect().Intersection(rect) == rect) {
            first = i;
            break;
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i) {
        IControl& control = *controls[i];
        if (i >= first && !control.IsHidden() && rect.Intersects(control.Rect()))
            control.Render(*this);
        // Only a control drawn whole is up to date. One outside the region, or cut by
        // it (an expose of another area), keeps its mark for the next tick.
        const IRectangle changed = control.DirtyRect();
        if (rect.Intersection(changed) == changed)
            control.MarkClean();
    }
    return PresentRegion(rect);
}

bool IDrawContext::CollectDirtyRegion(IRectangle* out) const {
    bool any = false;
    // A control beyond the panel (a part of it not shown now) waits until it is shown.
    const IRectangle panel{0, 0, width, height};
    for (const auto& control : controls) {
        if (control->NeedsDraw() && control->Rect().Intersects(panel)) {
            *out = out->Union(control->Rect());
            any = true;
        }
    }
    return any;
}

int IDrawContext::CollectDirtyRegions(IRectangle* out, int capacity) const {
    int count = 0;
    const IRectangle panel{0, 0, width, height};
    if (wholePanelDirty && capacity > 0) {
        out[0] = panel;
        return 1;
    }
    for (const auto& control : controls) {
        if (!control->NeedsDraw() || !control->Rect().Intersects(panel) || capacity <= 0)
            continue;
        count = AddToRegions(out, count, capacity, control->DirtyRect());
    }
    return count;
}

void IDrawContext::MarkAllControlsDirty() {
    for (const auto& control : controls)
        control->MarkDirty(false);
    wholePanelDirty = true;
}

int IDrawContext::FindControlAt(int x, int y) const {
    if (captured >= 0)
        return captured;
    for (int i = ControlCount() - 1; i >= 0; --i) {
        const IControl& control = *controls[static_cast<std::size_t>(i)];
        if (!control.IsHidden() && !control.IsDimmed() && control.HitTest(x, y))
            return i;
    }
    return -1;
}

void IDrawContext::MousePressed(int x, int y, const IMouseKeys& keys) {
    captured = lastX = lastY = -1;
    const int i = FindControlAt(x, y);
    if (i < 0)
        return;
    captured = i;
    lastX = x;
    lastY = y;
    capturedByRightButton = keys.right;
    IControl& control = *controls[static_cast<std::size_t>(i)];
    // The host hears of the gesture before the value a press may already set.
    if (control.ParamIndex() >= 0 && parameters)
        parameters->BeginParameterEdit(control.ParamIndex());
    control.MousePressed(x, y, keys);
}

void IDrawContext::MouseReleased(int x, int y) {
    const int i = FindControlAt(x, y);
    captured = lastX = lastY = -1;
    capturedByRightButton = false;
    if (i < 0)
        return;
    IControl& control = *controls[static_cast<std::size_t>(i)];
    control.MouseReleased(x, y);
    if (control.ParamIndex() >= 0 && parameters)
        parameters->EndParameterEdit(control.ParamIndex());
}

void IDrawContext::MouseDragged(int x, int y, const IMouseKeys& keys) {
    IControl* control = ControlAt(captured);
    if (!control)
        return;
    const int dx = x - lastX;
    const int dy = y - lastY;
    if (dx == 0 && dy == 0)
        return;
    lastX = x;
    lastY = y;
    control->MouseDragged(x, y, dx, dy, keys);
}

bool IDrawContext::MouseDoubleClicked(int x, int y, const IMouseKeys& keys) {
    captured = lastX = lastY = -1;
    const int i = FindControlAt(x, y);
    if (i < 0)
        return false;
    IControl& control = *controls[static_cast<std::size_t>(i)];
    if (control.DoubleClickAsPress()) {
        captured = i;
        lastX = x;
        lastY = y;
        control.MousePressed(x, y, keys);
        return true;
    }
    control.MouseDoubleClicked(x, y, keys);
    return false;
}

void IDrawContext::MouseWheeled(int x, int y, const IMouseKeys& keys, int steps) {
    if (IControl* control = ControlAt(FindControlAt(x, y)))
        control->MouseWheeled(x, y, keys, steps);
}

bool IDrawContext::MouseHovered(int x, int y, const IMouseKeys& keys) {
    if (!hoverTracking)
        return false;
    const int i = FindControlAt(x, y);
    if (i >= 0) {
        lastX = x;
        lastY = y;
        controls[static_cast<std::size_t>(i)]->MouseHovered(x, y, keys);
        if (hovered >= 0 && hovered != i)
            controls[static_cast<std::size_t>(hovered)]->MouseExited();
        hovered = i;
    }
    return hoverTracking;
}

void IDrawContext::MouseExited() {
    for (const auto& control : controls)
        control->MouseExited();
    hovered = -1;
}

void IDrawContext::PushParamToControls(int index, double value, bool isNormalized) {
    if (!isNormalized) {
        const IParameter* parameter = parameters ? parameters->DescribeParameter(index) : nullptr;
        if (!parameter)
            return;
        value = parameter->Normalize(value);
    }
    for (const auto& control : controls)
        if (control->ParamIndex() == index)
            control->ApplyValueFromPlug(value);
}

void IDrawContext::SetControlValue(int index, double value) {
    if (IControl* control = ControlAt(index))
        control->ApplyValueFromPlug(value);
}

int IDrawContext::FrameTop(const IFrameBitmap& bitmap, int frame) {
    if (bitmap.frameCount <= 1 || frame <= 1)
        return 0;
    return static_cast<int>(static_cast<double>(bitmap.height) * (frame - 1) / bitmap.frameCount +
                            0.5);
}

bool IDrawContext::DrawFrame(const IFrameBitmap& bitmap, const IRectangle& rect, int frame,
                             const IDrawBlend* blend) {
    return BlitBitmap(bitmap, rect, 0, FrameTop(bitmap, frame), blend);
}
