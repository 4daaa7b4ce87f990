#pragma once

// What differs in the VST 3 binary interface on Linux: the System V calling
// convention for every interface method, identifiers stored as plain big-endian
// words, and small positive and negative result codes.

#include <cstdint>

#define PLUGIN_API

namespace vst3::platform {

// The first eight bytes of an identifier keep the published word order.
inline constexpr bool kUidHeadLittleEndian = false;

inline constexpr std::int32_t kNoInterface = -1;
inline constexpr std::int32_t kInvalidArgument = 2;
inline constexpr std::int32_t kNotImplemented = 3;
inline constexpr std::int32_t kInternalError = 4;
inline constexpr std::int32_t kNotInitialized = 5;
inline constexpr std::int32_t kOutOfMemory = 6;

} // namespace vst3::platform
