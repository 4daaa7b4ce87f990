#pragma once

// Loops the compiler vectorises twice, for AVX2 and for the baseline (SSE2), with the
// AVX2 code chosen at run time where the processor has it, as the gain stage chooses:
// Pass::Run(args...) holds the loop.
namespace WideCode {

inline bool ProcessorHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

template <class Pass, class... Args> [[gnu::target("avx2")]] auto RunWide(Args... args) {
    return Pass::Run(args...);
}

template <class Pass, class... Args> auto RunNarrow(Args... args) {
    return Pass::Run(args...);
}

template <class Pass, class... Args> auto Run(bool wide, Args... args) {
    return wide ? RunWide<Pass>(args...) : RunNarrow<Pass>(args...);
}

} // namespace WideCode
