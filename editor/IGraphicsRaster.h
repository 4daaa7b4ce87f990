#pragma once

#include "IDrawContext.h"

#include <memory>

class RAS_IBitmap;
class RAS_MemBitmap;
class RAS_SysBitmap;

// The drawing context on a raster surface the size of the panel, with the
// process-wide image caches every editor instance shares. The window layer
// above presents the surface and decodes the images.
class IGraphicsRaster : public IDrawContext {
public:
    IGraphicsRaster(IEditorParameters* parameters, int width, int height, int fps);
    ~IGraphicsRaster() override;

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

    // The raster mode word and weight of a blend; null is alpha at full weight.
    static int ModeFor(const IDrawBlend* blend);
    static float WeightFor(const IDrawBlend* blend);
    static uint32_t PixelFor(const IDrawColor& colour);

private:
    std::unique_ptr<RAS_SysBitmap> surface;
    std::unique_ptr<RAS_MemBitmap> scratch;
};
