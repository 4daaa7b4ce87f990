#include "IGraphicsRaster.h"

#include "FatalAssert.h"
#include "PlugLock.h"
#include "raster/RAS_Bitmap.h"
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"
#include "raster/RAS_Transform.h"

#include <algorithm>
#include <cmath>
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

// The resource each image loaded by id came from, so that its art sets can be found.
struct ArtSource {
    const RAS_IBitmap* base;
    int resourceId;
};

struct ArtSources {
    PlugLock lock;
    std::vector<ArtSource> sources;
};

ArtSources& ArtSourceList() {
    static ArtSources list;
    return list;
}

void RememberArtSource(const RAS_IBitmap* base, int resourceId) {
    ArtSources& art = ArtSourceList();
    ScopedPlugLock lock(art.lock);
    art.sources.push_back({base, resourceId});
}

void ForgetArtSource(const RAS_IBitmap* base) {
    ArtSources& art = ArtSourceList();
    ScopedPlugLock lock(art.lock);
    std::erase_if(art.sources, [base](const ArtSource& source) { return source.base == base; });
}

// -1 for a bitmap that was not loaded by resource id.
int ArtSourceOf(const RAS_IBitmap* base) {
    ArtSources& art = ArtSourceList();
    ScopedPlugLock lock(art.lock);
    const auto found = std::find_if(art.sources.begin(), art.sources.end(),
                                    [base](const ArtSource& source) { return source.base == base; });
    return found == art.sources.end() ? -1 : found->resourceId;
}

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
    surface = std::make_unique<RAS_SysBitmap>(DeviceWidth(), DeviceHeight());
    scratch = std::make_unique<RAS_MemBitmap>();
}

void IGraphicsRaster::SetScale(double wanted) {
    const double clamped = PanelScale::Clamped(wanted);
    if (clamped == 0.0 || clamped == scale)
        return;
    scale = clamped;
    deviceArt.clear();
    RemakeSurface();
}

void IGraphicsRaster::SetPanelSize(int newWidth, int newHeight) {
    IDrawContext::SetPanelSize(newWidth, newHeight);
    RemakeSurface();
}

// Made anew rather than resized, so that its rows stay packed at every size.
void IGraphicsRaster::RemakeSurface() {
    if (surface)
        surface = std::make_unique<RAS_SysBitmap>(DeviceWidth(), DeviceHeight());
    MarkAllControlsDirty();
}

int IGraphicsRaster::ToDevice(int units) const {
    return PanelScale::Pixels(units, scale);
}

IRectangle IGraphicsRaster::ToDevice(const IRectangle& units) const {
    return {ToDevice(units.L), ToDevice(units.T), ToDevice(units.R), ToDevice(units.B)};
}

int IGraphicsRaster::ToPanel(int device) const {
    return static_cast<int>(std::floor(device / scale));
}

IRectangle IGraphicsRaster::ToPanel(const IRectangle& device) const {
    return {ToPanel(device.L), ToPanel(device.T),
            static_cast<int>(std::ceil(device.R / scale)),
            static_cast<int>(std::ceil(device.B / scale))};
}

RAS_IBitmap* IGraphicsRaster::ArtSet(const IFrameBitmap& bitmap, int set) {
    const int resourceId = ArtSourceOf(bitmap.bitmap);
    if (resourceId < 0)
        return nullptr;
    ImageCache<int>& cache = ResourceImages();
    ScopedPlugLock lock(cache.lock);
    bool live = false;
    IFrameBitmap* record = cache.Find(ArtSetId(resourceId, set), &live);
    if (live)
        return record->bitmap;
    RAS_IBitmap* image = DecodeImageResource(ArtSetId(resourceId, set), nullptr);
    // A set is the base image at exactly set times its size, or it is not used.
    if (image && (image->PixelWidth() != bitmap.width * set ||
                  image->PixelHeight() != bitmap.height * set)) {
        delete image;
        image = nullptr;
    }
    if (!image)
        return nullptr;
    *record = {image, image->PixelWidth(), image->PixelHeight(), bitmap.frameCount};
    KeepBitmap(*record);
    return image;
}

const RAS_IBitmap* IGraphicsRaster::DeviceArtFor(const IFrameBitmap& bitmap, int frameWidth,
                                                 int frameHeight) {
    for (const DeviceArt& art : deviceArt)
        if (art.base == bitmap.bitmap && art.frameWidth == frameWidth &&
            art.frameHeight == frameHeight)
            return art.pixels;
    // The set made for the next scale up, else a larger one, else the finest there is.
    const int wanted = scale <= 2.0 ? 2 : 3;
    const RAS_IBitmap* source = bitmap.bitmap;
    int set = 1;
    for (int candidate : {wanted, 5 - wanted})
        if (RAS_IBitmap* found = ArtSet(bitmap, candidate)) {
            source = found;
            set = candidate;
            break;
        }
    const int frames = std::max(1, bitmap.frameCount);
    const int sourceFrameHeight = bitmap.FrameHeight() * set;
    DeviceArt art{bitmap.bitmap, frameWidth, frameHeight, nullptr, source};
    if (bitmap.width * set != frameWidth || sourceFrameHeight != frameHeight) {
        art.resampled = std::make_unique<RAS_MemBitmap>(frameWidth, frameHeight * frames);
        for (int i = 0; i < frames; ++i)
            RAS_CompositeScaled(art.resampled.get(), source, 0, i * frameHeight, frameWidth,
                                frameHeight, 0.0f, static_cast<float>(i * sourceFrameHeight),
                                static_cast<float>(bitmap.width * set),
                                static_cast<float>(sourceFrameHeight), 1.0f, RAS_FLAG_BILINEAR);
        art.pixels = art.resampled.get();
    }
    deviceArt.push_back(std::move(art));
    return deviceArt.back().pixels;
}

// Images loaded by id are drawn from device art made once per scale, copied pixel for
// pixel, so what a partial repaint draws is what a full one draws. Any other bitmap (the
// scratch of a mask, a copy) may change between calls and is resampled as it is drawn.
bool IGraphicsRaster::BlitScaled(const IFrameBitmap& bitmap, const IRectangle& destination,
                                 int sourceX, int sourceY, const IDrawBlend* blend) {
    const IRectangle device = ToDevice(destination);
    const IRectangle clip = device.Intersection(ToDevice(PaintRegionInProgress()));
    if (clip.Width() <= 0 || clip.Height() <= 0 || !bitmap.bitmap)
        return true;
    if (ArtSourceOf(bitmap.bitmap) < 0) {
        RAS_CompositeScaled(surface.get(), bitmap.bitmap, clip.L, clip.T, clip.Width(),
                            clip.Height(),
                            static_cast<float>(sourceX + (clip.L - device.L) / scale),
                            static_cast<float>(sourceY + (clip.T - device.T) / scale),
                            static_cast<float>(clip.Width() / scale),
                            static_cast<float>(clip.Height() / scale), WeightFor(blend),
                            ModeFor(blend) | RAS_FLAG_BILINEAR);
        return true;
    }
    const int frameHeight = bitmap.FrameHeight();
    if (frameHeight <= 0 || bitmap.width <= 0)
        return true;
    // A whole frame, as every control draws, is made at the size it shows at; any other
    // area is cut from the frames at their size at this scale.
    const bool wholeFrame = sourceX == 0 && sourceY % frameHeight == 0 &&
                            destination.Width() == bitmap.width &&
                            destination.Height() == frameHeight;
    const int frameWidthOnDevice = wholeFrame ? device.Width() : ToDevice(bitmap.width);
    const int frameHeightOnDevice = wholeFrame ? device.Height() : ToDevice(frameHeight);
    if (frameWidthOnDevice <= 0 || frameHeightOnDevice <= 0)
        return true;
    const RAS_IBitmap* art = DeviceArtFor(bitmap, frameWidthOnDevice, frameHeightOnDevice);
    const int artX = ToDevice(sourceX);
    const int artY = sourceY / frameHeight * frameHeightOnDevice + ToDevice(sourceY % frameHeight);
    RAS_CompositeArea(surface.get(), art, clip.L, clip.T, artX + clip.L - device.L,
                      artY + clip.T - device.T, clip.Width(), clip.Height(), WeightFor(blend),
                      ModeFor(blend));
    return true;
}

const RAS_IBitmap* IGraphicsRaster::DeviceImage(const IFrameBitmap& bitmap,
                                               const IRectangle& placed) {
    const IRectangle device = ToDevice(placed);
    if (scale == 1.0 || device.Width() <= 0 || device.Height() <= 0)
        return bitmap.bitmap;
    return DeviceArtFor(bitmap, device.Width(), device.Height());
}

void IGraphicsRaster::BlitDevice(const RAS_IBitmap& pixels, const IRectangle& rect,
                                 const IDrawBlend* blend) {
    const IRectangle device = ToDevice(rect);
    BlitDeviceArea(pixels, device.L, device.T, 0, 0, device.Width(), device.Height(), blend);
}

void IGraphicsRaster::BlitDeviceArea(const RAS_IBitmap& pixels, int x, int y, int sourceX,
                                     int sourceY, int areaWidth, int areaHeight,
                                     const IDrawBlend* blend) {
    const IRectangle area{x, y, x + areaWidth, y + areaHeight};
    const IRectangle clip = area.Intersection(ToDevice(PaintRegionInProgress()));
    if (clip.Width() <= 0 || clip.Height() <= 0)
        return;
    RAS_CompositeArea(surface.get(), &pixels, clip.L, clip.T, sourceX + clip.L - x,
                      sourceY + clip.T - y, clip.Width(), clip.Height(), WeightFor(blend),
                      ModeFor(blend));
}

bool IGraphicsRaster::BlitBitmap(const IFrameBitmap& bitmap, const IRectangle& destination,
                                 int sourceX, int sourceY, const IDrawBlend* blend) {
    if (scale != 1.0)
        return BlitScaled(bitmap, destination, sourceX, sourceY, blend);
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
    // At a scale the finest art set there is turns into the scaled size.
    const RAS_IBitmap* source = bitmap.bitmap;
    int set = 1;
    if (scale != 1.0)
        for (int candidate : {3, 2})
            if (RAS_IBitmap* found = ArtSet(bitmap, candidate)) {
                source = found;
                set = candidate;
                break;
            }
    const int w = ToDevice(bitmap.width);
    const int h = ToDevice(bitmap.height);
    RAS_CompositeRotated(surface.get(), source, ToDevice(centreX) - w / 2,
                         ToDevice(centreY) - h / 2, w, h, 0.0f, 0.0f,
                         static_cast<float>(bitmap.width * set),
                         static_cast<float>(bitmap.height * set), static_cast<float>(angle), false,
                         WeightFor(blend), ModeFor(blend) | RAS_FLAG_BILINEAR, 0.0f,
                         static_cast<float>(pivotOffset * set));
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
    const int px = static_cast<int>(x + 0.5f);
    const int py = static_cast<int>(y + 0.5f);
    if (scale == 1.0) {
        RAS_WritePixel(surface.get(), px, py, PixelFor(colour), WeightFor(blend), ModeFor(blend));
        return;
    }
    const IRectangle unit = ToDevice(IRectangle{px, py, px + 1, py + 1});
    RAS_FillArea(surface.get(), unit.L, unit.T, unit.Width(), unit.Height(), PixelFor(colour),
                 WeightFor(blend), ModeFor(blend));
}

// A panel unit's pixel is the square of device pixels it covers.
void IGraphicsRaster::StorePixel(const IDrawColor& colour, int x, int y) {
    if (!surface)
        return;
    const IRectangle unit = ToDevice(IRectangle{x, y, x + 1, y + 1})
                                .Intersection({0, 0, surface->PixelWidth(), surface->PixelHeight()});
    // Callers should stay inside the panel; one that does not must not hit memory.
    for (int row = unit.T; row < unit.B; ++row)
        for (int column = unit.L; column < unit.R; ++column)
            surface->Pixels()[static_cast<std::size_t>(row) *
                                  static_cast<std::size_t>(surface->StridePixels()) +
                              static_cast<std::size_t>(column)] = PixelFor(colour);
}

// Lines and arcs are hairlines of one device pixel at any scale.
void IGraphicsRaster::DrawSegment(const IDrawColor& colour, float x1, float y1, float x2, float y2,
                                  const IDrawBlend* blend, bool antialias) {
    RAS_DrawSegment(surface.get(), ToDeviceFloat(x1), ToDeviceFloat(y1), ToDeviceFloat(x2),
                    ToDeviceFloat(y2), PixelFor(colour), WeightFor(blend), ModeFor(blend),
                    antialias);
}

void IGraphicsRaster::DrawArcSegment(const IDrawColor& colour, float cx, float cy, float r,
                                     float angle1, float angle2, const IDrawBlend* blend,
                                     bool antialias) {
    RAS_DrawArcSegment(surface.get(), ToDeviceFloat(cx), ToDeviceFloat(cy), ToDeviceFloat(r),
                       angle1, angle2, PixelFor(colour), WeightFor(blend), ModeFor(blend),
                       antialias);
}

void IGraphicsRaster::DrawCircleOutline(const IDrawColor& colour, float cx, float cy, float r,
                                        const IDrawBlend* blend, bool antialias) {
    RAS_DrawRing(surface.get(), ToDeviceFloat(cx), ToDeviceFloat(cy), ToDeviceFloat(r),
                 PixelFor(colour), WeightFor(blend), ModeFor(blend), antialias);
}

void IGraphicsRaster::FillRectangle(const IDrawColor& colour, const IRectangle& rect,
                                    const IDrawBlend* blend) {
    const IRectangle device = ToDevice(rect);
    RAS_FillArea(surface.get(), device.L, device.T, device.Width(), device.Height(),
                 PixelFor(colour), WeightFor(blend), ModeFor(blend));
}

IDrawColor IGraphicsRaster::ReadPixelColor(int x, int y) {
    const uint32_t p = RAS_ReadPixel(surface.get(), ToDevice(x), ToDevice(y));
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
    ForgetArtSource(*found);
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
    RememberArtSource(image, resourceId);
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
