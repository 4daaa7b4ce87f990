// Unscaled compositing, filling, masking and single-pixel access.
//
// Every operation does nothing for a null bitmap, a bitmap without pixels or an area
// that clips to nothing. `alpha` is the opacity (1.0 = full strength); operators use
// the weight w = (int)(alpha * 256), with alpha limited to [-128, 128] and NaN read as
// 0. Copy draws only when alpha > 0; add, dodge and multiply accept negative weights.
#pragma once

#include "raster/RAS_Bitmap.h"

#include <cstdint>

// Left, top, right, bottom; right and bottom are exclusive.
struct RAS_Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Draws `sourceRect` of `source` (the whole source when null) with its top-left at
// (x, y) of `destination`, clipped to both bitmaps. Source and destination may be one
// bitmap only where the areas do not overlap.
void RAS_Composite(RAS_IBitmap* destination, const RAS_IBitmap* source, int x, int y,
                   const RAS_Rect* sourceRect, float alpha, int mode);

// RAS_Composite of the rectangle (sourceX, sourceY, sourceX + width, sourceY + height).
void RAS_CompositeArea(RAS_IBitmap* destination, const RAS_IBitmap* source, int x, int y,
                       int sourceX, int sourceY, int width, int height, float alpha, int mode);

// Fills the clipped area with `colour`. With RAS_FLAG_SOURCE_ALPHA the colour's alpha
// byte scales `alpha`; otherwise the weight itself is the source alpha value.
void RAS_FillArea(RAS_IBitmap* destination, int x, int y, int width, int height, RAS_Pixel32 colour,
                  float alpha, int mode);

// Every pixel of the clipped area becomes (pixel & andMask) | orBits.
void RAS_MaskArea(RAS_IBitmap* destination, int x, int y, int width, int height,
                  std::uint32_t andMask, std::uint32_t orBits);

// Resizes `destination` to the source's size and copies the source into it.
void RAS_CloneInto(RAS_IBitmap* destination, const RAS_IBitmap* source);

// The pixel at (x, y), or 0 outside the bitmap.
RAS_Pixel32 RAS_ReadPixel(const RAS_IBitmap* bitmap, int x, int y);

// Combines `colour` (its alpha byte as the source alpha) into the pixel at (x, y);
// the source-alpha flag is ignored.
void RAS_WritePixel(RAS_IBitmap* bitmap, int x, int y, RAS_Pixel32 colour, float alpha, int mode);
