#pragma once

#include <cstdint>

class RAS_IBitmap;

// A rectangle in panel pixels, origin top-left, right and bottom exclusive.
// All four zero is the empty rectangle.
struct IRectangle {
    int32_t L = 0;
    int32_t T = 0;
    int32_t R = 0;
    int32_t B = 0;

    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    int32_t Width() const { return R - L; }
    int32_t Height() const { return B - T; }
    IRectangle Union(const IRectangle& other) const;
    // Touching at this rectangle's right or bottom edge counts.
    bool Intersects(const IRectangle& other) const;
    IRectangle Intersection(const IRectangle& other) const;
    bool Contains(int32_t x, int32_t y) const;
    bool operator==(const IRectangle&) const = default;
};

// Adds rect to count rectangles that do not meet: it joins each it meets (and what that
// joined meets), or the last when all capacity are taken. The new count.
int AddToRegions(IRectangle* regions, int count, int capacity, IRectangle rect);

// An image of equal frames stacked vertically; frames count from 1. Copies
// share the bitmap, which belongs to the drawing context's caches.
struct IFrameBitmap {
    RAS_IBitmap* bitmap = nullptr;
    int32_t width = 0;
    int32_t height = 0; // all frames
    int32_t frameCount = 1;

    int32_t FrameHeight() const { return frameCount > 0 ? height / frameCount : height; }
};

enum IDrawBlendMethod : int32_t {
    kDrawBlendAlpha = 0,
    kDrawBlendCopy = 1,
    kDrawBlendAdd = 2,
    kDrawBlendDodge = 3,
};

struct IDrawBlend {
    int32_t method = kDrawBlendAlpha;
    float weight = 1.0f;
};

struct IDrawColor {
    int32_t A = 255;
    int32_t R = 0;
    int32_t G = 0;
    int32_t B = 0;
};

// The flags of one mouse event.
struct IMouseKeys {
    bool left = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;
};

struct ITextStyle {
    char font[32] = "Arial";
    int32_t size = 12;
    IDrawColor colour;
    int32_t style = 0;       // 0 normal, 1 bold, 2 italic
    int32_t alignment = 1;   // 0 left, 1 centre, 2 right
    int32_t orientation = 0; // degrees
};
