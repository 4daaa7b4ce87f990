#pragma once

#include "IDrawContext.h"
#include "PanelScale.h"

#include <memory>
#include <vector>

class RAS_IBitmap;
class RAS_MemBitmap;
class RAS_SysBitmap;

// The drawing context on a raster surface the size of the panel, with the
// process-wide image caches every editor instance shares. The window layer
// above presents the surface and decodes the images.
//
// The panel draws at a scale, device pixels per panel unit, from 1 to 3. Layout, hit
// testing and every rectangle the controls and the paint pass handle stay in panel
// units; only the surface, and what reaches it, is in device pixels. Images are drawn
// from the art set made for the next scale up (resource id + 100 for 2x, + 200 for 3x),
// resampled when the scale lies between sets, never enlarged from a smaller one while a
// larger one exists.
class IGraphicsRaster : public IDrawContext {
public:
    // The resource id of an image's art set drawn at 2x or 3x.
    static constexpr int ArtSetId(int resourceId, int set) { return resourceId + 100 * (set - 1); }

    IGraphicsRaster(IEditorParameters* parameters, int width, int height, int fps);
    ~IGraphicsRaster() override;

    // UI thread. Clamped to 1..3; the surface follows and every control redraws.
    virtual void SetScale(double scale);
    void SetPanelSize(int width, int height) override;
    double Scale() const { return scale; }
    int DeviceWidth() const { return ToDevice(Width()); }
    int DeviceHeight() const { return ToDevice(Height()); }
    // Panel units to device pixels, edges rounded to the nearest pixel: rectangles that
    // do not meet in panel units do not meet on the surface either.
    int ToDevice(int units) const;
    IRectangle ToDevice(const IRectangle& units) const;
    // The device pixel's panel unit, and the panel rectangle covering device pixels.
    int ToPanel(int device) const;
    IRectangle ToPanel(const IRectangle& device) const;

    void CreateDrawSurface() override;
    // Clipped to the paint region; the source origin moves with the clip.
    bool BlitBitmap(const IFrameBitmap& bitmap, const IRectangle& destination, int sourceX,
                    int sourceY, const IDrawBlend* blend) override;
    void DrawBitmapRotated(const IFrameBitmap& bitmap, int centreX, int centreY, double angle,
                           int pivotOffset, const IDrawBlend* blend) override;
    void DrawMaskRotated(const IFrameBitmap& mask, const IFrameBitmap& layer1,
                         const IFrameBitmap& layer2, int x, int y, double degrees,
                         const IDrawBlend* blend) override;
    void BlendPixel(const IDrawColor& colour, float x, float y, const IDrawBlend* blend) override;
    void StorePixel(const IDrawColor& colour, int x, int y) override;
    void DrawSegment(const IDrawColor& colour, float x1, float y1, float x2, float y2,
                     const IDrawBlend* blend, bool antialias) override;
    void DrawArcSegment(const IDrawColor& colour, float cx, float cy, float r, float angle1,
                        float angle2, const IDrawBlend* blend, bool antialias) override;
    void DrawCircleOutline(const IDrawColor& colour, float cx, float cy, float r,
                           const IDrawBlend* blend, bool antialias) override;
    void FillRectangle(const IDrawColor& colour, const IRectangle& rect,
                       const IDrawBlend* blend) override;
    IDrawColor ReadPixelColor(int x, int y) override;
    uint32_t* SurfacePixels() override;
    // Decoded once per resource id per process; the first frame count stays.
    IFrameBitmap LoadFrameBitmap(int resourceId, const char* name, int frameCount) override;
    IFrameBitmap ScaledCopy(const IFrameBitmap& bitmap, int width, int height) override;
    IFrameBitmap CroppedCopy(const IFrameBitmap& bitmap, const IRectangle& rect) override;
    void DrawVerticalSegment(const IDrawColor& colour, int x, int yLow, int yHigh) override;
    void DrawHorizontalSegment(const IDrawColor& colour, int y, int xLow, int xHigh) override;
    void KeepBitmap(const IFrameBitmap& bitmap) override;
    void DropBitmap(const IFrameBitmap& bitmap) override;
    // The window layer decodes resource id into a new bitmap, or gives null.
    virtual RAS_IBitmap* DecodeImageResource(int resourceId, const char* name) = 0;

    RAS_IBitmap* Surface() const;
    const RAS_SysBitmap* SystemSurface() const { return surface.get(); }
    // An image loaded by id as it is drawn at placed (panel units) at this scale: device
    // pixels, frame under frame. Valid until the scale changes.
    const RAS_IBitmap* DeviceImage(const IFrameBitmap& bitmap, const IRectangle& placed);
    // During a paint pass: pixels made at the device's resolution copied one for one to
    // the top-left of rect (panel units), clipped to the paint region.
    void BlitDevice(const RAS_IBitmap& pixels, const IRectangle& rect, const IDrawBlend* blend);
    // The same for an area of pixels given in device pixels: areaWidth x areaHeight from
    // (sourceX, sourceY) to (x, y) on the surface.
    void BlitDeviceArea(const RAS_IBitmap& pixels, int x, int y, int sourceX, int sourceY,
                        int areaWidth, int areaHeight, const IDrawBlend* blend);
    // The image of a loaded bitmap in art set 2 or 3; null when the module has none.
    RAS_IBitmap* ArtSet(const IFrameBitmap& bitmap, int set);

    // The raster mode word and weight of a blend; null is alpha at full weight.
    static int ModeFor(const IDrawBlend* blend);
    static float WeightFor(const IDrawBlend* blend);
    static uint32_t PixelFor(const IDrawColor& colour);

private:
    // A bitmap's frames at one device size, made for the current scale.
    struct DeviceArt {
        const RAS_IBitmap* base;
        int frameWidth;
        int frameHeight;
        std::unique_ptr<RAS_MemBitmap> resampled;
        const RAS_IBitmap* pixels; // resampled, or an art set that already has the size
    };
    const RAS_IBitmap* DeviceArtFor(const IFrameBitmap& bitmap, int frameWidth, int frameHeight);
    bool BlitScaled(const IFrameBitmap& bitmap, const IRectangle& destination, int sourceX,
                    int sourceY, const IDrawBlend* blend);
    void RemakeSurface();
    float ToDeviceFloat(float units) const { return static_cast<float>(double{units} * scale); }

    std::unique_ptr<RAS_SysBitmap> surface;
    std::unique_ptr<RAS_MemBitmap> scratch;
    double scale = 1.0;
    std::vector<DeviceArt> deviceArt; // dropped when the scale changes
};
