// Lines, arcs, circles and coverage masks.
//
// The colour's four bytes are the operator's source values; the operator is the low
// byte of `mode` (copy, add, dodge, multiply; other bytes draw nothing) and the other
// mode bits are ignored. Alpha exactly 0 draws nothing; copy draws only when alpha > 0.
// Every primitive clips to the bitmap and does nothing for a null bitmap, non-finite
// coordinates, or coordinates and radii beyond RAS_MAX_DRAW_COORDINATE.
#pragma once

#include "raster/RAS_Bitmap.h"

#include <cstdint>

// Largest coordinate or radius magnitude the primitives accept: far beyond any surface,
// small enough that no intermediate product overflows.
inline constexpr float RAS_MAX_DRAW_COORDINATE = 16777216.0f;

// The segment between the two points, truncated to whole pixels, both ends included.
void RAS_DrawSegment(RAS_IBitmap* bitmap, float x1, float y1, float x2, float y2,
                     RAS_Pixel32 colour, float alpha, int mode, bool antialias);

// The arc of radius r about (cx, cy) from startAngle to endAngle (radians). Angle 0
// points up and angles grow clockwise on screen; angles are brought into [0, 2 pi].
void RAS_DrawArcSegment(RAS_IBitmap* bitmap, float cx, float cy, float r, float startAngle,
                        float endAngle, RAS_Pixel32 colour, float alpha, int mode, bool antialias);

// A circle outline; the radii 2.5, 3, 3.5 and 4 use hand-tuned masks.
void RAS_DrawRing(RAS_IBitmap* bitmap, float cx, float cy, float r, RAS_Pixel32 colour,
                  float alpha, int mode, bool antialias);

// The colour through a width x height mask of coverage bytes (0 none, 0xFF full ink)
// whose top-left pixel lands on (x, y).
void RAS_DrawCoverage(RAS_IBitmap* bitmap, int x, int y, RAS_Pixel32 colour,
                      const std::uint8_t* coverage, int width, int height, float alpha, int mode);
