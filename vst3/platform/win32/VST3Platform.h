#pragma once

// What differs in the VST 3 binary interface on Windows, 32- and 64-bit: the
// interfaces are COM's, so identifiers are GUIDs and failures are HRESULTs.

#include <cstdint>

// Hosts built with Microsoft's compiler push `this` on the stack and let the callee
// pop the arguments. MinGW's i686 default for member functions is __thiscall (`this`
// in ECX), so every method carries this; x86-64 has one convention and ignores it.
#define PLUGIN_API __stdcall

namespace vst3::platform {

// A GUID stores its first word and the two halves of its second little-endian.
inline constexpr bool kUidHeadLittleEndian = true;

inline constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t kNotImplemented = static_cast<std::int32_t>(0x80004001u);
inline constexpr std::int32_t kInternalError = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kNotInitialized = static_cast<std::int32_t>(0x8000FFFFu);
inline constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);

} // namespace vst3::platform
