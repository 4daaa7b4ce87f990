#pragma once

#include "EditorTypes.h"
#include "IControl.h"
#include "IEditorLink.h"
#include "IEditorParameters.h"

#include <memory>
#include <vector>

class IParameter;

// The editor's platform-neutral core: the control list in drawing order, the
// paint pass over what changed, mouse routing, and the traffic of values
// between controls and the parameters. Drawing and the window are left to the
// layers above. UI thread unless an operation says otherwise.
class IDrawContext : public IEditorLink {
public:
    // parameters (null for a panel bound to none) outlives the context.
    IDrawContext(IEditorParameters* parameters, int width, int height, int fps);
    IDrawContext(const IDrawContext&) = delete;
    IDrawContext& operator=(const IDrawContext&) = delete;

    // Virtual operations, in slot order.
    void CreateDrawSurface() override = 0;
    virtual bool PresentRegion(const IRectangle& rect) = 0;
    virtual bool BlitBitmap(const IFrameBitmap& bitmap, const IRectangle& destination, int sourceX,
                            int sourceY, const IDrawBlend* blend) = 0;
    virtual void DrawBitmapRotated(const IFrameBitmap& bitmap, int centreX, int centreY,
                                   double angle, int pivotOffset, const IDrawBlend* blend) = 0;
    virtual void DrawMaskRotated(const IFrameBitmap& mask, const IFrameBitmap& layer1,
                                 const IFrameBitmap& layer2, int x, int y, double degrees,
                                 const IDrawBlend* blend) = 0;
    virtual void BlendPixel(const IDrawColor& colour, float x, float y,
                            const IDrawBlend* blend) = 0;
    virtual void StorePixel(const IDrawColor& colour, int x, int y) = 0;
    virtual void DrawSegment(const IDrawColor& colour, float x1, float y1, float x2, float y2,
                             const IDrawBlend* blend, bool antialias) = 0;
    virtual void DrawArcSegment(const IDrawColor& colour, float cx, float cy, float r,
                                float angle1, float angle2, const IDrawBlend* blend,
                                bool antialias) = 0;
    virtual void DrawCircleOutline(const IDrawColor& colour, float cx, float cy, float r,
                                   const IDrawBlend* blend, bool antialias) = 0;
    virtual void FillRectangle(const IDrawColor& colour, const IRectangle& rect,
                               const IDrawBlend* blend) = 0;
    virtual bool DrawLabel(const ITextStyle& style, const char* text, const IRectangle& rect) = 0;
    virtual IDrawColor ReadPixelColor(int x, int y) = 0;
    virtual uint32_t* SurfacePixels() = 0;
    // Drops every control and tells the plug-in the new size.
    virtual void ResizeEditor(int width, int height);
    // UI thread. The panel grows or shrinks, its controls kept (a part of it shown or
    // hidden); the plug-in hears of the new size.
    virtual void SetPanelSize(int width, int height);
    virtual bool HasWindow() { return WindowHandle() != nullptr; }
    virtual void OpenValueEntry(IControl* control, const IParameter* parameter) = 0;
    virtual void HostDirectory(char* out) = 0;
    virtual void ModuleDirectory(char* out) = 0;
    virtual void AskForFile(char* out, int action, const char* directory,
                            const char* extensions) = 0;
    virtual bool AskForColor(IDrawColor* colour, const char* caption) = 0;
    virtual bool OpenLink(const char* address, const char* caption, const char* confirmation,
                          const char* error) = 0;
    virtual void* OpenEditorWindow(void* parent) = 0;
    virtual void CloseEditorWindow() = 0;
    virtual void* WindowHandle() = 0;
    ~IDrawContext() override;
    virtual IFrameBitmap LoadFrameBitmap(int resourceId, const char* name, int frameCount) = 0;
    virtual IFrameBitmap ScaledCopy(const IFrameBitmap& bitmap, int width, int height) = 0;
    virtual IFrameBitmap CroppedCopy(const IFrameBitmap& bitmap, const IRectangle& rect) = 0;
    // Puts a plain image control under every other control, at index 0.
    virtual void SetBackground(int resourceId, const char* name);
    virtual void DrawVerticalSegment(const IDrawColor& colour, int x, int yLow, int yHigh);
    virtual void DrawHorizontalSegment(const IDrawColor& colour, int y, int xLow, int xHigh);
    virtual void KeepBitmap(const IFrameBitmap& bitmap) = 0;
    virtual void DropBitmap(const IFrameBitmap& bitmap) = 0;

    // Takes ownership and attaches the control; returns its index, stable for its life.
    int AppendControl(IControl* control);
    int ControlCount() const { return static_cast<int>(controls.size()); }
    IControl* ControlAt(int index) const;

    // Draws the controls meeting rect, marks those inside it clean, presents rect.
    bool PaintRegion(const IRectangle& rect);
    // Grows out by every control within the panel that needs drawing; true when any does.
    bool CollectDirtyRegion(IRectangle* out) const;
    // The same as up to capacity rectangles that do not meet, so that controls far apart
    // are not repainted with everything between them; the number filled, 0 when nothing
    // needs drawing. When there would be more, the last holds the rest.
    int CollectDirtyRegions(IRectangle* out, int capacity) const;
    void MarkAllControlsDirty();
    // The captured control, else the topmost one neither hidden nor dimmed under the point.
    int FindControlAt(int x, int y) const;

    void MousePressed(int x, int y, const IMouseKeys& keys);
    void MouseReleased(int x, int y);
    void MouseDragged(int x, int y, const IMouseKeys& keys);
    // True when the window should capture the mouse as for a press.
    bool MouseDoubleClicked(int x, int y, const IMouseKeys& keys);
    void MouseWheeled(int x, int y, const IMouseKeys& keys, int steps);
    bool MouseHovered(int x, int y, const IMouseKeys& keys);
    void MouseExited();

    // Any thread. A parameter's value, real or normalized, to its controls.
    void PushParamToControls(int index, double value, bool isNormalized) override;
    // Any thread. Out of range is ignored.
    void SetControlValue(int index, double value) override;
    // UI thread, before each refresh (the host's idle tick, or a window's own timer): a
    // panel whose controls show readings kept elsewhere, such as meters, takes them here.
    virtual void TakeReadings() {}

    // Draws frame number i (from 1) of bitmap into rect.
    bool DrawFrame(const IFrameBitmap& bitmap, const IRectangle& rect, int frame,
                   const IDrawBlend* blend);
    // Top row of frame number i (from 1).
    static int FrameTop(const IFrameBitmap& bitmap, int frame);

    IEditorParameters* Parameters() const { return parameters; }
    int Width() const { return width; }
    int Height() const { return height; }
    int Fps() const { return fps; }
    int Captured() const { return captured; }
    const IRectangle& PaintRegionInProgress() const { return paintRegion; }

private:
    std::vector<std::unique_ptr<IControl>> controls;
    IEditorParameters* parameters;
    IRectangle paintRegion;
    int width;
    int height;
    int fps;
    int captured = -1;
    int hovered = -1;
    int lastX = 0;
    int lastY = 0;
    bool hoverTracking = false;
    bool capturedByRightButton = false;
    // Everything was marked at once (a new surface, a window opened): the next refresh
    // paints the panel whole, whatever each control would redraw of itself.
    bool wholePanelDirty = false;
};
