#pragma once

// Passes over whole blocks, run in the widest vector form the processor offers (AVX2,
// else the baseline). A pass is a struct whose static, always-inline Run does the work
// with builtins only, so that nothing compiled for AVX2 is shared, through an out-of-line
// copy, with code that runs on any processor.
namespace WideDispatch {

inline bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

template <class Pass, class... Args> [[gnu::target("avx2")]] auto RunWide(Args... args) {
    return Pass::Run(args...);
}

template <class Pass, class... Args> auto RunNarrow(Args... args) {
    return Pass::Run(args...);
}

} // namespace WideDispatch
