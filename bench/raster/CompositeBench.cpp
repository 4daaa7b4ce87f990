// The compositing paths the editor's paint pass takes, reported per destination pixel.
#include "raster/RAS_Composite.h"
#include "raster/RAS_Draw.h"
#include "raster/RAS_Transform.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// Soft-edged content with every alpha value, like the knob and LED strips.
void FillGradient(RAS_IBitmap& bitmap) {
    for (int y = 0; y < bitmap.PixelHeight(); ++y) {
        for (int x = 0; x < bitmap.PixelWidth(); ++x) {
            const auto a = static_cast<std::uint32_t>((x * 255) / bitmap.PixelWidth());
            const auto c = static_cast<std::uint32_t>((y * 255) / bitmap.PixelHeight());
            bitmap.Pixels()[y * bitmap.StridePixels() + x] = a << 24 | c << 16 | 0x4080u;
        }
    }
}

void ReportPixels(benchmark::State& state, std::int64_t pixelsPerIteration) {
    state.counters["ns/pixel"] = benchmark::Counter(
        static_cast<double>(pixelsPerIteration) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void KnobFrameSourceAlpha(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370), knob(48, 48);
    FillGradient(surface);
    FillGradient(knob);
    for (auto _ : state) {
        RAS_CompositeArea(&surface, &knob, 100, 100, 0, 0, 48, 48, 1.0f, RAS_FLAG_SOURCE_ALPHA);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 48 * 48);
}

void BackgroundOpaqueCopy(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370), background(510, 370);
    FillGradient(background);
    for (auto _ : state) {
        RAS_Composite(&surface, &background, 0, 0, nullptr, 1.0f, RAS_OP_COPY);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 510 * 370);
}

void KnobScaledBilinear(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370), knob(48, 48);
    FillGradient(knob);
    for (auto _ : state) {
        RAS_CompositeScaled(&surface, &knob, 100, 100, 72, 72, 0.0f, 0.0f, 48.0f, 48.0f, 1.0f,
                            RAS_FLAG_SOURCE_ALPHA | RAS_FLAG_BILINEAR);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 72 * 72);
}

void KnobRotatedBilinear(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370), knob(48, 48);
    FillGradient(knob);
    for (auto _ : state) {
        RAS_CompositeRotated(&surface, &knob, 100, 100, 48, 48, 0.0f, 0.0f, 48.0f, 48.0f, 0.7f,
                             true, 1.0f, RAS_FLAG_SOURCE_ALPHA | RAS_FLAG_BILINEAR, 0.0f, 0.0f);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 48 * 48);
}

// Vector primitives, per touched pixel (a line of n + 1 pixels, a ring of about 2 pi r).
void AntialiasedLine(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370);
    for (auto _ : state) {
        RAS_DrawSegment(&surface, 10.0f, 20.0f, 300.0f, 140.0f, 0xFFE0C080u, 0.8f, RAS_OP_COPY,
                        true);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 291);
}

void AntialiasedRing(benchmark::State& state) {
    RAS_MemBitmap surface(510, 370);
    for (auto _ : state) {
        RAS_DrawRing(&surface, 200.0f, 180.0f, 60.0f, 0xFFE0C080u, 0.8f, RAS_OP_COPY, true);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, 377);
}

} // namespace

BENCHMARK(KnobFrameSourceAlpha);
BENCHMARK(BackgroundOpaqueCopy);
BENCHMARK(KnobScaledBilinear);
BENCHMARK(KnobRotatedBilinear);
BENCHMARK(AntialiasedLine);
BENCHMARK(AntialiasedRing);
