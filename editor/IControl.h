#pragma once

#include "EditorTypes.h"
#include "RedrawMarks.h"

#include <atomic>
#include <cstdint>

class IDrawContext;
class IEditorParameters;

// One element of the editor panel: draws itself from a normalized value,
// takes the mouse, and may be bound to one plug-in parameter. The value, the
// first value (the default) and the redraw marks are written from the audio and
// host threads too, so each is a whole atomic value; everything else belongs to
// the UI thread.
class IControl {
public:
    IControl(const IRectangle& rect, int paramIndex, const IDrawBlend& blend);
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // Virtual operations, in slot order. Mouse operations: UI thread.
    virtual ~IControl() = default;
    // A right press asks for value entry; a left press does nothing here.
    virtual void MousePressed(int x, int y, const IMouseKeys& keys);
    virtual void MouseReleased(int x, int y);
    virtual void MouseDragged(int x, int y, int dx, int dy, const IMouseKeys& keys);
    // Back to the first value the plug-in gave.
    virtual void MouseDoubleClicked(int x, int y, const IMouseKeys& keys);
    // One notch is 0.01, or 0.001 with shift or control.
    virtual void MouseWheeled(int x, int y, const IMouseKeys& keys, int steps);
    virtual void MouseHovered(int x, int y, const IMouseKeys& keys);
    virtual void MouseExited();
    // UI thread, during a paint pass.
    virtual void Render(IDrawContext& context) = 0;
    // Any thread. A value from the plug-in: shown, never sent back. The first one
    // becomes the default.
    virtual void ApplyValueFromPlug(double value);
    virtual void SetHidden(bool flag);
    virtual void SetDimmed(bool flag);
    virtual bool HitTest(int x, int y) const;
    // Clamps the value and marks the control for drawing; informs the
    // plug-in when asked (user actions only).
    virtual void MarkDirty(bool informPlug);
    // UI thread, after a paint pass drew the whole control: stays dirty for one
    // more pass when a redraw is pending.
    virtual void MarkClean();
    virtual bool NeedsDraw() const { return redraw.Dirty(); }
    // UI thread: what a redraw of the control changes on the panel (its rectangle, or
    // less where the control knows where it stood).
    virtual IRectangle DirtyRect() const { return rect; }
    // Whether it covers every pixel of its rectangle, hiding what lies under it.
    virtual bool IsOpaque() const { return false; }

    // From the value entry: a changed value goes to the plug-in.
    void SetValueFromEntry(double value);
    void RequestValueEntry();
    // The context the control was appended to; it reaches the parameters through it.
    void AttachToContext(IDrawContext* context) { owner = context; }

    double Value() const { return value.load(); }
    double DefaultValue() const { return defaultValue.load(); }
    int ParamIndex() const { return paramIndex; }
    const IRectangle& Rect() const { return rect; }
    const IRectangle& TargetRect() const { return targetRect; }
    const IDrawBlend& Blend() const { return blend; }
    bool IsHidden() const { return hidden; }
    bool IsDimmed() const { return dimmed; }
    bool IsRedrawPending() const { return redraw.Pending(); }
    bool DoubleClickAsPress() const { return doubleClickAsPress; }

protected:
    void SetValue(double v) { value.store(v); }
    IEditorParameters* Parameters() const;

private:
    IDrawContext* owner = nullptr;
    IRectangle rect;
    IRectangle targetRect;
    int paramIndex;
    using Marks = RedrawMarks<>;

    std::atomic<double> value{0.0};
    std::atomic<double> defaultValue{-1.0}; // negative until the plug-in gives a value
    double clampLow = 0.0;
    double clampHigh = 1.0;
    Marks redraw;
    bool hidden = false;
    bool dimmed = false;
    bool noValueEntry = false;
    bool doubleClickAsPress = false;
    IDrawBlend blend;
};

// Draws the frame its value selects.
class IBitmapControl : public IControl {
public:
    IBitmapControl(int x, int y, int paramIndex, const IFrameBitmap& bitmap, int blendMethod);
    void Render(IDrawContext& context) override;

    // Frame number (from 1) for a value: 0 shows the first, 1 the last.
    static int FrameForValue(double value, int frameCount);

protected:
    IFrameBitmap bitmap;
};

// A click steps to the next frame and wraps to the first.
class ISwitchControl : public IBitmapControl {
public:
    using IBitmapControl::IBitmapControl;
    void MousePressed(int x, int y, const IMouseKeys& keys) override;
};

// A handle image moving along a track; its centre follows the pointer.
class IFaderControl : public IControl {
public:
    enum Direction { kVertical = 0, kHorizontal = 1 };

    IFaderControl(int x, int y, int length, int paramIndex, const IFrameBitmap& bitmap,
                  int direction);
    void MousePressed(int x, int y, const IMouseKeys& keys) override;
    void MouseDragged(int x, int y, int dx, int dy, const IMouseKeys& keys) override;
    void Render(IDrawContext& context) override;

    // Where the handle stands for value v; a negative v means the current value.
    IRectangle HandleRect(double v = -1.0) const;
    // Where the handle stood when last drawn, and where it stands now.
    IRectangle DirtyRect() const override;

private:
    void SnapToPointer(int x, int y);

    int length;
    int handleSize;
    IFrameBitmap bitmap;
    IRectangle drawnHandle; // empty before the first draw
    int direction;
};

// Turns mouse movement into value changes with a gearing; the press position
// does not matter.
class IKnobControl : public IControl {
public:
    void MouseDragged(int x, int y, int dx, int dy, const IMouseKeys& keys) override;

protected:
    IKnobControl(const IRectangle& rect, int paramIndex);

private:
    int direction = IFaderControl::kVertical;
    double gearing = 4.0;
};

// A knob drawn from a multi-frame image.
class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(int x, int y, int paramIndex, const IFrameBitmap& bitmap);
    void Render(IDrawContext& context) override;

private:
    IFrameBitmap bitmap;
};
