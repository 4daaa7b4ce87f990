// The four pixel operators and the pixel actions the loops of the library are built on.
// Every loop in the library is a template over one of these actions, so each shape has
// one loop body and the mode is examined once per call, when the action is chosen.
#pragma once

#include "raster/RAS_Bitmap.h"

#include <cstdint>

namespace ras {

// The weight of an opacity: (int)(alpha * 256). Alpha is limited to [-128, 128] first so
// that no operator overflows an int, even the fill that uses the weight as its source
// alpha (w * w); NaN gives 0.
inline int WeightOf(float alpha) {
    if (!(alpha == alpha)) {
        return 0;
    }
    if (alpha > 128.0f) {
        alpha = 128.0f;
    } else if (alpha < -128.0f) {
        alpha = -128.0f;
    }
    return static_cast<int>(alpha * 256.0f);
}

inline int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline int Channel(std::uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFFu);
}

inline std::uint32_t Pack(int b, int g, int r, int a) {
    return static_cast<std::uint32_t>(Clamp255(b)) | static_cast<std::uint32_t>(Clamp255(g)) << 8 |
           static_cast<std::uint32_t>(Clamp255(r)) << 16 |
           static_cast<std::uint32_t>(Clamp255(a)) << 24;
}

// Source values of an operator; ints because the fill hands in its weight as alpha.
struct Channels {
    int b;
    int g;
    int r;
    int a;
};

inline Channels Unpack(std::uint32_t p) {
    return {Channel(p, 0), Channel(p, 8), Channel(p, 16), Channel(p, 24)};
}

// Each operator maps destination byte d, source value s and weight w to the new value
// (clamped by the caller). Divisions truncate toward zero, in the order written.
// kSkipClear: the source-alpha variant leaves the pixel alone where the source alpha is 0.
struct CopyOp {
    static constexpr bool kSkipClear = true;
    static int Apply(int d, int s, int w) { return (d * (256 - w) + s * w) / 256; }
};

struct AddOp {
    static constexpr bool kSkipClear = true;
    static int Apply(int d, int s, int w) { return d + (s * w) / 256; }
};

struct DodgeOp {
    static constexpr bool kSkipClear = false;
    static int Apply(int d, int s, int w) {
        const int q = 256 - (s * w) / 256;
        return q > 1 ? (d * 256) / q : d * 256;
    }
};

struct MultiplyOp {
    static constexpr bool kSkipClear = true;
    // 64 bits: at the extreme weights the product exceeds an int.
    static int Apply(int d, int s, int w) {
        const std::int64_t f = std::int64_t{s} * w + std::int64_t{256 - w} * 256;
        return static_cast<int>((f * d) / 65536);
    }
};

template <class Op> inline std::uint32_t Combine(std::uint32_t d, Channels s, int w) {
    return Pack(Op::Apply(Channel(d, 0), s.b, w), Op::Apply(Channel(d, 8), s.g, w),
                Op::Apply(Channel(d, 16), s.r, w), Op::Apply(Channel(d, 24), s.a, w));
}

// An operator with or without the source-alpha weighting w' = w * (S_a + 1) / 256.
template <class Op, bool kSourceAlpha>
inline std::uint32_t Blend(std::uint32_t d, std::uint32_t s, int w) {
    const Channels c = Unpack(s);
    if constexpr (kSourceAlpha) {
        if (Op::kSkipClear && c.a == 0) {
            return d;
        }
        w = (w * (c.a + 1)) / 256;
    }
    return Combine<Op>(d, c, w);
}

// Pixel actions of the two-pixel loops: new destination from destination and source.
template <class Op, bool kSourceAlpha> struct BlendPx {
    int w;
    std::uint32_t operator()(std::uint32_t d, std::uint32_t s) const {
        return Blend<Op, kSourceAlpha>(d, s, w);
    }
};

struct StorePx {
    std::uint32_t operator()(std::uint32_t, std::uint32_t s) const { return s; }
};

struct HalfPx {
    std::uint32_t operator()(std::uint32_t d, std::uint32_t s) const {
        return ((s >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu);
    }
};

// Destination byte `to` takes source byte `from`.
struct ChannelPx {
    int to;
    int from;
    std::uint32_t operator()(std::uint32_t d, std::uint32_t s) const {
        const unsigned toShift = static_cast<unsigned>(to * 8);
        const std::uint32_t v = (s >> (from * 8)) & 0xFFu;
        return (d & ~(0xFFu << toShift)) | (v << toShift);
    }
};

// Constant-colour actions (fill, pixel write): new destination from the destination.
template <class Op> struct ConstantPx {
    Channels s;
    int w;
    std::uint32_t operator()(std::uint32_t d) const { return Combine<Op>(d, s, w); }
};

struct FillStorePx {
    std::uint32_t c;
    std::uint32_t operator()(std::uint32_t) const { return c; }
};

struct FillHalfPx {
    std::uint32_t c;
    std::uint32_t operator()(std::uint32_t d) const {
        return ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu);
    }
};

struct FillQuarterPx {
    std::uint32_t c;
    std::uint32_t operator()(std::uint32_t d) const {
        return ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu);
    }
};

struct FillThreeQuarterPx {
    std::uint32_t c;
    std::uint32_t operator()(std::uint32_t d) const {
        return ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 1) & 0x7F7F7F7Fu) + ((c >> 2) & 0x3F3F3F3Fu);
    }
};

} // namespace ras
