#include "DenormalMode.h"

#include <xmmintrin.h>

namespace {
constexpr unsigned int kFlushToZero = 0x8000;
constexpr unsigned int kDenormalsAreZero = 0x0040;
} // namespace

ScopedFlushDenormals::ScopedFlushDenormals() : savedMode(_mm_getcsr()) {
    _mm_setcsr(savedMode | kFlushToZero | kDenormalsAreZero);
}

ScopedFlushDenormals::~ScopedFlushDenormals() {
    _mm_setcsr(savedMode);
}
