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

// Channel values of the test planes: each channel a different bijection of the index.
int DstChannel(int x, int c) {
    const int v[4] = {x, 255 - x, x ^ 0x5A, (x + 128) & 255};
    return v[c];
}
int SrcChannel(int y, int c) {
    const int v[4] = {y, y ^ 0xA5, 255 - y, y};
    return v[c];
}
RAS_Pixel32 PixelOf(int b, int g, int r, int a) {
    return static_cast<RAS_Pixel32>(b | g << 8 | r << 16 | a << 24);
}

constexpr float kAlphas[] = {-1.0f, -0.3f, 0.001f, 0.3f, 0.5f, 0.999f, 1.0f, 1.7f};

class OperatorSweep : public ::testing::TestWithParam<int> {};

TEST_P(OperatorSweep, CompositeMatchesTheFormulaForEveryBytePair) {
    const int mode = GetParam();
    const int op = mode & 0xFF;
    const bool sourceAlpha = (mode & RAS_FLAG_SOURCE_ALPHA) != 0;
    rastest::TailBitmap src(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            src.At(x, y) =
                PixelOf(SrcChannel(y, 0), SrcChannel(y, 1), SrcChannel(y, 2), SrcChannel(y, 3));
        }
    }
    for (const float alpha : kAlphas) {
        rastest::TailBitmap dst(256, 256);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                dst.At(x, y) =
                    PixelOf(DstChannel(x, 0), DstChannel(x, 1), DstChannel(x, 2), DstChannel(x, 3));
            }
        }
        RAS_Composite(&dst, &src, 0, 0, nullptr, alpha, mode);
        const int w = static_cast<int>(alpha * 256.0f);
        int failures = 0;
        for (int y = 0; y < 256 && failures < 5; ++y) {
            for (int x = 0; x < 256 && failures < 5; ++x) {
                RAS_Pixel32 want =
                    PixelOf(DstChannel(x, 0), DstChannel(x, 1), DstChannel(x, 2), DstChannel(x, 3));
                int weight = w;
                const int sa = SrcChannel(y, 3);
                const bool skip = (op == RAS_OP_COPY && alpha <= 0.0f) ||
                                  (sourceAlpha && sa == 0 && op != RAS_OP_DODGE);
                if (sourceAlpha) {
                    weight = (w * (sa + 1)) / 256;
                }
                if (!sourceAlpha && op == RAS_OP_COPY && alpha == 0.5f) {
                    want = ((src.At(x, y) >> 1) & 0x7F7F7F7Fu) + ((want >> 1) & 0x7F7F7F7Fu);
                } else if (!skip) {
                    int c[4];
                    for (int k = 0; k < 4; ++k) {
                        c[k] = Reference(op, DstChannel(x, k), SrcChannel(y, k), weight);
                    }
                    want = PixelOf(c[0], c[1], c[2], c[3]);
                }
                if (dst.At(x, y) != want) {
                    ++failures;
                    ADD_FAILURE() << std::hex << "mode " << mode << " alpha " << alpha << " at "
                                  << std::dec << x << "," << y << std::hex << ": got "
                                  << dst.At(x, y) << " want " << want;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllOperators, OperatorSweep,
                         ::testing::Values(0, 1, 2, 3, 0x10000, 0x10001, 0x10002, 0x10003, 0x100,
                                           0x10101));

TEST(FillOperators, UseTheWeightAsSourceAlphaForEveryDestinationByte) {
    const RAS_Pixel32 colour = 0x3C9A10F0u;
    for (const int op : {RAS_OP_COPY, RAS_OP_ADD, RAS_OP_DODGE, RAS_OP_MULTIPLY}) {
        for (const float alpha : {-0.7f, 0.01f, 0.3f, 0.6f, 1.3f}) {
            rastest::TailBitmap dst(256, 1);
            for (int x = 0; x < 256; ++x) {
                dst.At(x, 0) =
                    PixelOf(DstChannel(x, 0), DstChannel(x, 1), DstChannel(x, 2), DstChannel(x, 3));
            }
            RAS_FillArea(&dst, 0, 0, 256, 1, colour, alpha, op);
            const int w = static_cast<int>(alpha * 256.0f);
            const int s[4] = {0xF0, 0x10, 0x9A, w};
            for (int x = 0; x < 256; ++x) {
                RAS_Pixel32 want = dst.At(x, 0);
                if (op != RAS_OP_COPY || alpha > 0.0f) {
                    int c[4];
                    for (int k = 0; k < 4; ++k) {
                        c[k] = Reference(op, DstChannel(x, k), s[k], w);
                    }
                    want = PixelOf(c[0], c[1], c[2], c[3]);
                } else {
                    want = PixelOf(DstChannel(x, 0), DstChannel(x, 1), DstChannel(x, 2),
                                   DstChannel(x, 3));
                }
                ASSERT_EQ(dst.At(x, 0), want) << "op " << op << " alpha " << alpha << " x " << x;
            }
        }
    }
}

} // namespace
