// Scaled and rotated compositing, nearest or bilinear (RAS_FLAG_BILINEAR).
//
// Destination pixels whose source sample falls outside the source bounds keep their
// content; bilinear sampling never reads outside the bounds (the last column is
// interpolated vertically only, the last row horizontally only). Nothing is drawn for
// a null bitmap, a zero destination size, non-finite coordinates or positions too far
// out to represent in fixed point.
#pragma once

#include "raster/RAS_Bitmap.h"

// Draws the source rectangle (srcX, srcY, srcW, srcH), in fractional source pixels, into
// the destination rectangle (dstX, dstY, dstW, dstH). A negative dstW or dstH mirrors the
// image into the pixels left of dstX or above dstY. Sizes within 0.001 of each other
// take the unscaled composite (for bilinear drawing only when the origin lies within
// 0.03 of whole pixels).
void RAS_CompositeScaled(RAS_IBitmap* destination, const RAS_IBitmap* source, int dstX, int dstY,
                         int dstW, int dstH, float srcX, float srcY, float srcW, float srcH,
                         float alpha, int mode);

// As RAS_CompositeScaled, turned by `angle` radians (clockwise on screen) about the
// destination rectangle's centre, which maps onto the source rectangle's centre moved by
// (centreOffsetX, centreOffsetY) source pixels. With clipToSource only the source
// rectangle contributes; otherwise the whole source.
void RAS_CompositeRotated(RAS_IBitmap* destination, const RAS_IBitmap* source, int dstX, int dstY,
                          int dstW, int dstH, float srcX, float srcY, float srcW, float srcH,
                          float angle, bool clipToSource, float alpha, int mode,
                          float centreOffsetX, float centreOffsetY);

// The scan behind the rotated composite, for callers that have clipped already: `width`
// x `height` destination pixels from `destination` (strides in bytes); the source
// position (s, t) starts at (startS, startT), moves by (dsdx, dtdx) per column and by
// (dsdy, dtdy) per row, and the per-column step grows by (ddsdx, ddtdx) per row. Only
// source pixels within [minX, maxX) x [minY, maxY) are read; the caller guarantees that
// these bounds lie inside the source's storage and the destination area inside the
// destination's. `mode` selects operator, source alpha and filter.
void RAS_CompositeStepped(RAS_Pixel32* destination, const RAS_Pixel32* source, int width,
                          int height, double startS, double startT, double dsdx, double dtdx,
                          double dsdy, double dtdy, double ddsdx, double ddtdx, int minX, int minY,
                          int maxX, int maxY, int sourceStrideBytes, int destinationStrideBytes,
                          float alpha, int mode);
