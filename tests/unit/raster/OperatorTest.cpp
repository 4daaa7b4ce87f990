// Every operator against a plain transcription of its formula, over all 65,536
// destination/source byte pairs per weight, through the public composite and fill.
#include "RasterTestSupport.h"
#include "raster/RAS_Composite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

int Clamp(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, 255));
}

int Reference(int op, std::int64_t d, std::int64_t s, std::int64_t w) {
    switch (op) {
    case RAS_OP_COPY:
        return Clamp((d * (256 - w) + s * w) / 256);
    case RAS_OP_ADD:
        return Clamp(d + (s * w) / 256);
    case RAS_OP_DODGE: {
        const std::int64_t q = 256 - (s * w) / 256;
        return Clamp(q > 1 ? (d * 256) / q : d * 256);
    }
    default:
        return Clamp(((s * w + (256 - w) * 256) * d) / 65536);
    }
}

// Each channel of the test planes a different bijection of the index.
int DstChannel(int x, int c) {
    const int v[4] = {x, 255 - x, x ^ 0x5A, (x + 128) & 255};
    return v[c];
}
int SrcChannel(int y, int c) {
    const int v[4] = {y, y ^ 0xA5, 255 - y, y};
    return v[c];
}
template <class Channel> RAS_Pixel32 PixelOf(Channel channel) {
    return rastest::Argb(channel(3), channel(2), channel(1), channel(0));
}
RAS_Pixel32 Dst(int x) {
    return PixelOf([x](int c) { return DstChannel(x, c); });
}
// The reference applied to destination plane pixel x and source channels s at weight w.
template <class Source> RAS_Pixel32 Expected(int op, int x, Source s, int w) {
    return PixelOf([&](int c) { return Reference(op, DstChannel(x, c), s(c), w); });
}

class OperatorSweep : public ::testing::TestWithParam<int> {};

TEST_P(OperatorSweep, CompositeMatchesTheFormulaForEveryBytePair) {
    const int mode = GetParam();
    const int op = mode & 0xFF;
    const bool sourceAlpha = (mode & RAS_FLAG_SOURCE_ALPHA) != 0;
    rastest::TailBitmap src(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            src.At(x, y) = PixelOf([y](int c) { return SrcChannel(y, c); });
    for (const float alpha : {-1.0f, -0.3f, 0.001f, 0.3f, 0.5f, 0.999f, 1.0f, 1.7f}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " alpha " << alpha);
        rastest::TailBitmap dst(256, 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                dst.At(x, y) = Dst(x);
        RAS_Composite(&dst, &src, 0, 0, nullptr, alpha, mode);
        const int w = static_cast<int>(alpha * 256.0f);
        rastest::ExpectPixels(dst, [&](int x, int y) {
            const int sa = SrcChannel(y, 3);
            if ((op == RAS_OP_COPY && alpha <= 0.0f) ||
                (sourceAlpha && sa == 0 && op != RAS_OP_DODGE))
                return Dst(x);
            // An unweighted copy at one half takes the shift-and-add shortcut.
            if (!sourceAlpha && op == RAS_OP_COPY && alpha == 0.5f)
                return ((src.At(x, y) >> 1) & 0x7F7F7F7Fu) + ((Dst(x) >> 1) & 0x7F7F7F7Fu);
            return Expected(
                op, x, [y](int c) { return SrcChannel(y, c); },
                sourceAlpha ? (w * (sa + 1)) / 256 : w);
        });
    }
}

INSTANTIATE_TEST_SUITE_P(AllOperators, OperatorSweep,
                         ::testing::Values(0, 1, 2, 3, 0x10000, 0x10001, 0x10002, 0x10003, 0x100,
                                           0x10101));

TEST(FillOperators, UseTheWeightAsSourceAlphaForEveryDestinationByte) {
    for (const int op : {RAS_OP_COPY, RAS_OP_ADD, RAS_OP_DODGE, RAS_OP_MULTIPLY}) {
        for (const float alpha : {-0.7f, 0.01f, 0.3f, 0.6f, 1.3f}) {
            SCOPED_TRACE(testing::Message() << "op " << op << " alpha " << alpha);
            rastest::TailBitmap dst(256, 1);
            for (int x = 0; x < 256; ++x)
                dst.At(x, 0) = Dst(x);
            RAS_FillArea(&dst, 0, 0, 256, 1, 0x3C9A10F0u, alpha, op);
            const int w = static_cast<int>(alpha * 256.0f);
            const int s[4] = {0xF0, 0x10, 0x9A, w};
            rastest::ExpectPixels(dst, [&](int x, int) {
                return op == RAS_OP_COPY && alpha <= 0.0f
                           ? Dst(x)
                           : Expected(
                                 op, x, [&](int c) { return s[c]; }, w);
            });
        }
    }
}

} // namespace
