#include "IGraphicsRaster.h"

#include "FatalAssert.h"
#include "PlugLock.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"
#include "raster/RAS_Transform.h"

#include <algorithm>
#include <vector>

namespace {
constexpr double kRadiansPerDegree = 0.017453292519943295;

// Every bitmap the image operations made, from creation until dropped. The three
// caches run under locks of their own and DropBitmap under none, so the list keeps a
// lock of its own too: editors on different threads may load and drop at once.
struct LiveBitmaps {
    PlugLock lock;
    std::vector<RAS_IBitmap*> bitmaps;

    ~LiveBitmaps() {
        for (RAS_IBitmap* bitmap : bitmaps)
            delete bitmap;
    }
};

LiveBitmaps& LiveBitmapList() {
    static LiveBitmaps list;
    return list;
}

bool IsLive(const RAS_IBitmap* bitmap) {
    LiveBitmaps& live = LiveBitmapList();
    ScopedPlugLock lock(live.lock);
    return bitmap && std::find(live.bitmaps.begin(), live.bitmaps.end(), bitmap) != live.bitmaps.end();
}

// One process-wide cache: keys and records side by side, under a lock of its own.
template <class Key> struct ImageCache {
    PlugLock lock;
    std::vector<Key> keys;
    std::vector<IFrameBitmap> records;

    // The live record for key, or a slot to (re)load it into.
    IFrameBitmap* Find(const Key& key, bool* live) {
        const auto found = std::find(keys.begin(), keys.end(), key);
        if (found == keys.end()) {
            keys.push_back(key);
            records.emplace_back();
            *live = false;
            return &records.back();
        }
        IFrameBitmap* record = &records[static_cast<std::size_t>(found - keys.begin())];
        *live = IsLive(record->bitmap);
        return record;
    }
};

struct ScaledKey {
    const RAS_IBitmap* source;
    int width;
    int height;
    bool operator==(const ScaledKey&) const = default;
};

struct CroppedKey {
    const RAS_IBitmap* source;
    IRectangle rect;
    bool operator==(const CroppedKey&) const = default;
};

ImageCache<int>& ResourceImages() {
    static ImageCache<int> cache;
    return cache;
}

ImageCache<ScaledKey>& ScaledImages() {
    static ImageCache<ScaledKey> cache;
    return cache;
}

ImageCache<CroppedKey>& CroppedImages() {
    static ImageCache<CroppedKey> cache;
    return cache;
}
} // namespace

IGraphicsRaster::IGraphicsRaster(IEditorParameters* owner, int panelWidth, int panelHeight,
                                 int framesPerSecond)
    : IDrawContext(owner, panelWidth, panelHeight, framesPerSecond) {}

IGraphicsRaster::~IGraphicsRaster() = default;

int IGraphicsRaster::ModeFor(const IDrawBlend* blend) {
    switch (blend ? blend->method : kDrawBlendAlpha) {
    case kDrawBlendCopy:
        return RAS_OP_COPY;
    case kDrawBlendAdd:
        return RAS_OP_ADD | RAS_FLAG_SOURCE_ALPHA;
    case kDrawBlendDodge:
        return RAS_OP_DODGE | RAS_FLAG_SOURCE_ALPHA;
    default:
        return RAS_OP_COPY | RAS_FLAG_SOURCE_ALPHA;
    }
}

float IGraphicsRaster::WeightFor(const IDrawBlend* blend) { return blend ? blend->weight : 1.0f; }

uint32_t IGraphicsRaster::PixelFor(const IDrawColor& colour) {
    auto channel = [](int32_t v, int shift) {
        return static_cast<uint32_t>(std::clamp(v, 0, 255)) << shift;
    };
    return channel(colour.A, 24) | channel(colour.R, 16) | channel(colour.G, 8) |
           channel(colour.B, 0);
}

RAS_IBitmap* IGraphicsRaster::Surface() const { return surface.get(); }

void IGraphicsRaster::CreateDrawSurface() {
    surface = std::make_unique<RAS_SysBitmap>(Width(), Height());
    scratch = std::make_unique<RAS_MemBitmap>();
}

bool IGraphicsRaster::BlitBitmap(const IFrameBitmap& bitmap, const IRectangle& destination,
                                 int sourceX, int sourceY, const IDrawBlend* blend) {
    const IRectangle clip = destination.Intersection(PaintRegionInProgress());
    if (clip.Empty())
        return true;
    RAS_CompositeArea(surface.get(), bitmap.bitmap, clip.L, clip.T,
                      sourceX + clip.L - destination.L, sourceY + clip.T - destination.T,
                      clip.Width(), clip.Height(), WeightFor(blend), ModeFor(blend));
    return true;
}

void IGraphicsRaster::DrawBitmapRotated(const IFrameBitmap& bitmap, int centreX, int centreY,
                                        double angle, int pivotOffset, const IDrawBlend* blend) {
    const int w = bitmap.width;
    const int h = bitmap.height;
    RAS_CompositeRotated(surface.get(), bitmap.bitmap, centreX - w / 2, centreY - h / 2, w, h, 0.0f,
                         0.0f, static_cast<float>(w), static_cast<float>(h),
                         static_cast<float>(angle), false, WeightFor(blend),
                         ModeFor(blend) | RAS_FLAG_BILINEAR, 0.0f, static_cast<float>(pivotOffset));
}

void IGraphicsRaster::DrawMaskRotated(const IFrameBitmap& mask, const IFrameBitmap& layer1,
                                      const IFrameBitmap& layer2, int x, int y, double degrees,
                                      const IDrawBlend* blend) {
    if (!mask.bitmap)
        return;
    RAS_CloneInto(scratch.get(), mask.bitmap);
    const int w = scratch->PixelWidth();
    const int h = scratch->PixelHeight();
    RAS_MaskArea(scratch.get(), 0, 0, w, h, 0xFFFFFF, 0);
    const auto angle = static_cast<float>(degrees * kRadiansPerDegree);
    const float offset = w % 2 ? -0.5f : 0.0f;
    const struct {
        const IFrameBitmap& layer;
        int mode;
    } layers[] = {{layer1, 0x10101}, {layer2, 0x10100}};
    for (const auto& [layer, mode] : layers)
        RAS_CompositeRotated(scratch.get(), layer.bitmap, 0, 0, w, h, 0.0f, 0.0f,
                             static_cast<float>(layer.width), static_cast<float>(layer.height),
                             angle, false, 1.0f, mode, offset, offset);
    const IRectangle destination{x, y, x + w, y + h};
    BlitBitmap({scratch.get(), w, h, 1}, destination, 0, 0, blend);
}

void IGraphicsRaster::BlendPixel(const IDrawColor& colour, float x, float y,
                                 const IDrawBlend* blend) {
    RAS_WritePixel(surface.get(), static_cast<int>(x + 0.5f), static_cast<int>(y + 0.5f),
                   PixelFor(colour), WeightFor(blend), ModeFor(blend));
}

void IGraphicsRaster::StorePixel(const IDrawColor& colour, int x, int y) {
    // Callers should stay inside the panel; one that does not must not hit memory.
    if (!surface || x < 0 || y < 0 || x >= surface->PixelWidth() || y >= surface->PixelHeight())
        return;
    surface->Pixels()[static_cast<std::size_t>(y) *
                          static_cast<std::size_t>(surface->StridePixels()) +
                      static_cast<std::size_t>(x)] = PixelFor(colour);
}

void IGraphicsRaster::DrawSegment(const IDrawColor& colour, float x1, float y1, float x2, float y2,
                                  const IDrawBlend* blend, bool antialias) {
    RAS_DrawSegment(surface.get(), x1, y1, x2, y2, PixelFor(colour), WeightFor(blend),
                    ModeFor(blend), antialias);
}

void IGraphicsRaster::DrawArcSegment(const IDrawColor& colour, float cx, float cy, float r,
                                     float angle1, float angle2, const IDrawBlend* blend,
                                     bool antialias) {
    RAS_DrawArcSegment(surface.get(), cx, cy, r, angle1, angle2, PixelFor(colour),
                       WeightFor(blend), ModeFor(blend), antialias);
}

void IGraphicsRaster::DrawCircleOutline(const IDrawColor& colour, float cx, float cy, float r,
                                        const IDrawBlend* blend, bool antialias) {
    RAS_DrawRing(surface.get(), cx, cy, r, PixelFor(colour), WeightFor(blend), ModeFor(blend),
                 antialias);
}

void IGraphicsRaster::FillRectangle(const IDrawColor& colour, const IRectangle& rect,
                                    const IDrawBlend* blend) {
    RAS_FillArea(surface.get(), rect.L, rect.T, rect.Width(), rect.Height(), PixelFor(colour),
                 WeightFor(blend), ModeFor(blend));
}

IDrawColor IGraphicsRaster::ReadPixelColor(int x, int y) {
    const uint32_t p = RAS_ReadPixel(surface.get(), x, y);
    return {static_cast<int32_t>(p >> 24), static_cast<int32_t>(p >> 16 & 0xFF),
            static_cast<int32_t>(p >> 8 & 0xFF), static_cast<int32_t>(p & 0xFF)};
}

uint32_t* IGraphicsRaster::SurfacePixels() { return surface ? surface->Pixels() : nullptr; }

void IGraphicsRaster::DrawVerticalSegment(const IDrawColor& colour, int x, int yLow, int yHigh) {
    if (!surface || Width() <= 0 || Height() <= 0)
        return;
    x = std::clamp(x, 0, Width() - 1);
    yLow = std::clamp(yLow, 0, Height() - 1);
    yHigh = std::clamp(yHigh, 0, Height() - 1);
    for (int y = yLow; y <= yHigh; ++y)
        StorePixel(colour, x, y);
}

void IGraphicsRaster::DrawHorizontalSegment(const IDrawColor& colour, int y, int xLow, int xHigh) {
    if (!surface || Width() <= 0 || Height() <= 0)
        return;
    y = std::clamp(y, 0, Height() - 1);
    xLow = std::clamp(xLow, 0, Width() - 1);
    xHigh = std::clamp(xHigh, 0, Width() - 1);
    for (int x = xLow; x <= xHigh; ++x)
        StorePixel(colour, x, y);
}

void IGraphicsRaster::KeepBitmap(const IFrameBitmap& bitmap) {
    if (!bitmap.bitmap)
        return;
    LiveBitmaps& live = LiveBitmapList();
    ScopedPlugLock lock(live.lock);
    live.bitmaps.push_back(bitmap.bitmap);
}

void IGraphicsRaster::DropBitmap(const IFrameBitmap& bitmap) {
    LiveBitmaps& live = LiveBitmapList();
    ScopedPlugLock lock(live.lock);
    const auto found = std::find(live.bitmaps.begin(), live.bitmaps.end(), bitmap.bitmap);
    if (!bitmap.bitmap || found == live.bitmaps.end())
        return;
    delete *found;
    live.bitmaps.erase(found);
}

IFrameBitmap IGraphicsRaster::LoadFrameBitmap(int resourceId, const char* name, int frameCount) {
    ImageCache<int>& cache = ResourceImages();
    ScopedPlugLock lock(cache.lock);
    bool live = false;
    IFrameBitmap* record = cache.Find(resourceId, &live);
    if (live)
        return *record;
    RAS_IBitmap* image = DecodeImageResource(resourceId, name);
    // The images are compiled into the module: a missing one is a broken build.
    if (!image)
        FatalAssertionFailed("imgResourceFound", ".\\IGraphicsRaster", 104);
    *record = {image, image->PixelWidth(), image->PixelHeight(), frameCount};
    KeepBitmap(*record);
    return *record;
}

IFrameBitmap IGraphicsRaster::ScaledCopy(const IFrameBitmap& bitmap, int copyWidth, int copyHeight) {
    ImageCache<ScaledKey>& cache = ScaledImages();
    ScopedPlugLock lock(cache.lock);
    bool live = false;
    IFrameBitmap* record = cache.Find({bitmap.bitmap, copyWidth, copyHeight}, &live);
    if (live)
        return *record;
    auto* copy = new RAS_MemBitmap(copyWidth, copyHeight);
    RAS_CompositeScaled(copy, bitmap.bitmap, 0, 0, copyWidth, copyHeight, 0.0f, 0.0f,
                        static_cast<float>(bitmap.width), static_cast<float>(bitmap.height), 1.0f,
                        RAS_FLAG_BILINEAR);
    *record = {copy, copy->PixelWidth(), copy->PixelHeight(), bitmap.frameCount};
    KeepBitmap(*record);
    return *record;
}

IFrameBitmap IGraphicsRaster::CroppedCopy(const IFrameBitmap& bitmap, const IRectangle& rect) {
    ImageCache<CroppedKey>& cache = CroppedImages();
    ScopedPlugLock lock(cache.lock);
    bool live = false;
    IFrameBitmap* record = cache.Find({bitmap.bitmap, rect}, &live);
    if (live)
        return *record;
    auto* copy = new RAS_MemBitmap(rect.Width(), rect.Height());
    RAS_CompositeArea(copy, bitmap.bitmap, 0, 0, rect.L, rect.T, rect.Width(), rect.Height(), 1.0f,
                      RAS_OP_COPY);
    *record = {copy, copy->PixelWidth(), copy->PixelHeight(), bitmap.frameCount};
    KeepBitmap(*record);
    return *record;
}
