#include "RasterTestSupport.h"
#include "raster/RAS_Draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>
#include <set>
#include <utility>
#include <vector>

using namespace rastest;

namespace {

constexpr RAS_Pixel32 kInk = 0xFFFFFFFFu;
constexpr float kPi = 3.14159265f;

using Points = std::set<std::pair<int, int>>;

Points Touched(const RAS_IBitmap& b, RAS_Pixel32 background = 0) {
    Points points;
    for (int y = 0; y < b.PixelHeight(); ++y)
        for (int x = 0; x < b.PixelWidth(); ++x)
            if (At(b, x, y) != background)
                points.insert({x, y});
    return points;
}

RAS_Pixel32 Grey(int v) {
    return static_cast<RAS_Pixel32>(v) * 0x01010101u;
}

// Copy of white over black with weight w.
RAS_Pixel32 WhiteAt(int w) {
    return Grey(255 * w / 256);
}

} // namespace

TEST(Segment, ShapesAndClipping) {
    struct Case {
        const char* name;
        float x1, y1, x2, y2;
        Points expected;
    };
    Points row5, column2, diagonal;
    for (int i = 0; i < 10; ++i) {
        row5.insert({i, 5});
        if (i >= 5)
            column2.insert({2, i});
        if (i < 5)
            diagonal.insert({i, i});
    }
    const Case cases[] = {
        {"across left and right", -10, 5, 20, 5, row5},
        {"single point", 2.9f, 2.2f, 2, 2, {{2, 2}}},
        {"out at the bottom", 2, 5, 2, 40, column2},
        {"in through the top-left corner", -3, -3, 4, 4, diagonal},
        {"out at the right", 5, 1, 15, 6, {{5, 1}, {6, 1}, {7, 2}, {8, 2}, {9, 3}}},
        {"both ends left", -5, 1, -1, 8, {}},
        {"missing the corner", -5, 3, 3, -5, {}},
    };
    for (const Case& c : cases) {
        TailBitmap b(10, 10);
        RAS_DrawSegment(&b, c.x1, c.y1, c.x2, c.y2, kInk, 1.0f, RAS_OP_COPY, false);
        EXPECT_EQ(Touched(b), c.expected) << c.name;
    }
}

TEST(Segment, AntialiasedWeights) {
    // Diagonal: 3/4 on the line, 1/4 on each side, the end at 3/4.
    TailBitmap d(3, 3);
    RAS_DrawSegment(&d, 0, 0, 2, 2, kInk, 1.0f, RAS_OP_COPY, true);
    const RAS_Pixel32 line = WhiteAt(192), side = WhiteAt(64);
    const RAS_Pixel32 expectedDiagonal[3][3] = {
        {line, side, 0}, {side, line, side}, {0, side, line}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(At(d, x, y), expectedDiagonal[y][x]) << x << "," << y;

    // General line, slope 1/4: the error shares each step's weight with the row below,
    // and the end point itself is drawn at full weight.
    TailBitmap g(5, 2);
    RAS_DrawSegment(&g, 0, 0, 4, 1, kInk, 1.0f, RAS_OP_COPY, true);
    const int top[5] = {256, 192, 128, 64, 0};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(At(g, x, 0), WhiteAt(top[x])) << x;
        EXPECT_EQ(At(g, x, 1), WhiteAt(256 - top[x])) << x;
    }

    // Straight runs ignore antialiasing and keep the store shortcut.
    TailBitmap s(4, 1);
    RAS_DrawSegment(&s, 0, 0, 3, 0, 0x12345678u, 1.0f, RAS_OP_COPY, true);
    EXPECT_EQ(At(s, 3, 0), 0x12345678u);
}

TEST(Segment, ActionsByModeAndAlpha) {
    const struct {
        RAS_Pixel32 background, colour;
        float alpha;
        int mode;
        RAS_Pixel32 expected;
    } cases[] = {
        {0x11223344u, 0x00ABCDEFu, 1.0f, RAS_OP_COPY, 0x00ABCDEFu}, // a store, alpha byte too
        {0x00000000u, 0xFFFFFFFFu, 0.5f, RAS_OP_COPY, 0x7F7F7F7Fu},
        {0x10101010u, kInk, -0.5f, RAS_OP_COPY, 0x10101010u},
        {0x30303030u, 0x20202020u, -1.0f, RAS_OP_ADD, 0x10101010u},
        {0x30303030u, kInk, 0.0f, RAS_OP_ADD, 0x30303030u},
        {0x10101010u, kInk, 1.0f, 7, 0x10101010u},
        {0x10101010u, kInk, 1.0f, RAS_OP_CHANNEL, 0x10101010u},
        {0x00000000u, 0x00ABCDEFu, 1.0f, RAS_FLAG_SOURCE_ALPHA | RAS_FLAG_BILINEAR, 0x00ABCDEFu},
    };
    for (const auto& c : cases) {
        TailBitmap b(3, 1, 0, c.background);
        RAS_DrawSegment(&b, 0, 0, 2, 0, c.colour, c.alpha, c.mode, false);
        EXPECT_EQ(At(b, 1, 0), c.expected) << std::hex << c.colour << " mode " << c.mode;
    }
}

TEST(Arc, QuadrantsAndDirection) {
    constexpr float q = kPi / 2;
    // Each quadrant's arc stays in its quarter of the screen, clockwise from the top.
    const auto inQuarter = [](int quadrant, int x, int y) {
        return (quadrant < 2 ? x >= 10 : x <= 10) && (quadrant % 3 == 0 ? y <= 10 : y >= 10);
    };
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        TailBitmap b(21, 21);
        RAS_DrawArcSegment(&b, 10, 10, 7, static_cast<float>(quadrant) * q + 0.1f,
                           static_cast<float>(quadrant + 1) * q - 0.1f, kInk, 1.0f, RAS_OP_COPY,
                           true);
        const Points points = Touched(b);
        EXPECT_GE(points.size(), 6u);
        for (const auto& [x, y] : points) {
            EXPECT_TRUE(inQuarter(quadrant, x, y)) << quadrant << ": " << x << "," << y;
        }
    }

    // Through angle 0, with angles outside one turn brought back into it.
    TailBitmap top(21, 21);
    RAS_DrawArcSegment(&top, 10, 10, 9, -0.6f, 0.6f + 4 * kPi, kInk, 1.0f, RAS_OP_COPY, false);
    bool left = false, right = false;
    for (const auto& [x, y] : Touched(top)) {
        EXPECT_LT(y, 4) << x;
        left |= x < 8;
        right |= x > 12;
    }
    EXPECT_TRUE(left && right);
}

TEST(Arc, AntialiasedPairsStraddleTheCircle) {
    // At the top of a circle of whole radius the point lies on a pixel: full weight.
    TailBitmap b(21, 21);
    RAS_DrawArcSegment(&b, 10, 10, 6, 0, 0.5f, kInk, 1.0f, RAS_OP_COPY, true);
    EXPECT_EQ(At(b, 10, 4), WhiteAt(256));
    EXPECT_EQ(At(b, 10, 5), 0u);

    // Half a pixel off the grid the weight is shared evenly.
    TailBitmap h(21, 21);
    RAS_DrawArcSegment(&h, 10, 10, 6.5f, 0, 0.5f, kInk, 1.0f, RAS_OP_COPY, true);
    EXPECT_EQ(At(h, 10, 3), WhiteAt(128));
    EXPECT_EQ(At(h, 10, 4), WhiteAt(128));
}

TEST(Ring, SmallRadiiUseTheirMasks) {
    struct Size {
        float radius;
        int side;
    };
    for (const Size& size : {Size{2.5f, 6}, Size{4.0f, 9}}) {
        TailBitmap b(20, 20);
        RAS_DrawRing(&b, 10.7f, 10.2f, size.radius, kInk, 1.0f, RAS_OP_COPY, false);
        const int left = static_cast<int>(10.7f - size.radius);
        const int top = static_cast<int>(10.2f - size.radius);
        const Points points = Touched(b);
        ASSERT_FALSE(points.empty());
        // Full coverage is weight 255: the plain mask draws 254.
        for (const auto& [x, y] : points)
            EXPECT_EQ(At(b, x, y), Grey(254)) << size.radius;
        EXPECT_EQ(points.begin()->first, left);
        EXPECT_EQ(std::prev(points.end())->first, left + size.side - 1);
        EXPECT_TRUE(points.count({left, top + size.side / 2}));
        EXPECT_TRUE(points.count({left + size.side / 2, top}));
        EXPECT_FALSE(points.count({left, top}));
    }

    TailBitmap smooth(20, 20);
    RAS_DrawRing(&smooth, 10, 10, 2.5f, kInk, 1.0f, RAS_OP_COPY, true);
    EXPECT_EQ(At(smooth, 7, 7), WhiteAt(256 * 0x0F / 256));
    EXPECT_EQ(At(smooth, 8, 8), WhiteAt(256 * 0xD1 / 256));
}

TEST(Coverage, WeightsAndClipping) {
    const std::uint8_t mask[9] = {0x10, 0x20, 0x30, 0x40, 0x80, 0x60, 0x70, 0xFF, 0x00};
    TailBitmap b(4, 4);
    RAS_DrawCoverage(&b, 1, 1, kInk, mask, 3, 3, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(At(b, 2, 2), WhiteAt(128));
    EXPECT_EQ(At(b, 2, 3), WhiteAt(255));

    // Hanging over the top-left corner: the mask's first row and column are skipped.
    TailBitmap corner(2, 2);
    RAS_DrawCoverage(&corner, -1, -1, kInk, mask, 3, 3, 1.0f, RAS_OP_COPY);
    EXPECT_EQ(At(corner, 0, 0), WhiteAt(128));
    EXPECT_EQ(At(corner, 1, 0), WhiteAt(0x60));
    EXPECT_EQ(At(corner, 0, 1), WhiteAt(0xFF));

    // The weight scales by alpha first; add takes it too, without shortcuts at 0.5.
    TailBitmap added(1, 1, 0, 0x10101010u);
    RAS_DrawCoverage(&added, 0, 0, 0x40404040u, &mask[4], 1, 1, 0.5f, RAS_OP_ADD);
    EXPECT_EQ(At(added, 0, 0), Grey(0x10 + 0x40 * (128 * 0x80 / 256) / 256));
}

TEST(Primitives, NeverWriteOutsideTheBitmap) {
    constexpr RAS_Pixel32 kPadding = 0xDEADBEEFu;
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-20.0f, 30.0f);
    std::uniform_real_distribution<float> radius(0.0f, 30.0f);
    std::uniform_real_distribution<float> angle(-10.0f, 10.0f);
    const float alphas[] = {1.0f, 0.5f, 0.3f, -0.4f};
    const float extremes[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 1e7f, 2.5f};
    const std::uint8_t mask[12] = {0xFF, 0x80, 0x40, 0xFF, 0x10, 0x20,
                                   0x30, 0xFF, 0x00, 0xFF, 0xFF, 0xFF};

    struct Shape {
        int width, height, stride;
    };
    for (const Shape& shape : {Shape{7, 5, 9}, Shape{1, 1, 3}, Shape{13, 2, 13}}) {
        TailBitmap b(shape.width, shape.height, shape.stride, kPadding);
        FillAll(b, 0x20202020u);
        for (int i = 0; i < 4000; ++i) {
            const float alpha = alphas[i % 4];
            const int mode = (i / 4) % 4;
            const bool aa = (i & 16) != 0;
            RAS_DrawSegment(&b, coordinate(random), coordinate(random), coordinate(random),
                            coordinate(random), kInk, alpha, mode, aa);
            RAS_DrawArcSegment(&b, coordinate(random), coordinate(random), radius(random),
                               angle(random), angle(random), kInk, alpha, mode, aa);
            RAS_DrawRing(&b, coordinate(random), coordinate(random),
                         i % 3 == 0 ? 3.5f : radius(random), kInk, alpha, mode, aa);
            RAS_DrawCoverage(&b, static_cast<int>(coordinate(random)),
                             static_cast<int>(coordinate(random)), kInk, mask, 3, 4, alpha, mode);
        }
        for (const float e : extremes) {
            RAS_DrawSegment(&b, e, 1, 3, e, kInk, 1.0f, RAS_OP_COPY, true);
            RAS_DrawArcSegment(&b, 3, 3, e, 0, 1, kInk, 1.0f, RAS_OP_COPY, true);
            RAS_DrawArcSegment(&b, e, 3, 4, e, 1, kInk, 1.0f, RAS_OP_ADD, false);
            RAS_DrawRing(&b, 2, e, 3, kInk, e, RAS_OP_ADD, true);
        }
        RAS_DrawCoverage(&b, INT32_MIN, INT32_MAX, kInk, mask, 3, 4, 1.0f, RAS_OP_COPY);
        RAS_DrawCoverage(&b, INT32_MAX - 1, 0, kInk, mask, INT32_MAX, 1, 1.0f, RAS_OP_COPY);
        // The stride's padding between rows is outside the bitmap too.
        for (int y = 0; y + 1 < shape.height; ++y)
            for (int x = shape.width; x < shape.stride; ++x)
                EXPECT_EQ(b.At(x, y), kPadding) << x << "," << y;
    }
    RAS_DrawSegment(nullptr, 0, 0, 1, 1, kInk, 1.0f, RAS_OP_COPY, true);
    RAS_DrawRing(nullptr, 5, 5, 3, kInk, 1.0f, RAS_OP_COPY, true);
    RAS_DrawCoverage(nullptr, 0, 0, kInk, mask, 3, 4, 1.0f, RAS_OP_COPY);
}
