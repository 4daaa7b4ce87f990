#pragma once

// The base layer of the VST 3 binary interface, declared from the published facts:
// the scalar types, result codes, interface identifiers and FUnknown. Names of types,
// interfaces, methods and records follow the published ones so a reader can check them
// one by one; what differs between Linux and Windows comes from VST3Platform.h, which
// the build picks for the target.
//
// Interfaces are abstract classes of pure virtual methods in the published slot order,
// single inheritance only and no virtual destructor (it would add slots). Arguments the
// published interface passes by reference are pointers here, as in the binary interface.

#include "VST3Platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using TSize = int64_t;
using TSamples = int64_t;
using char8 = char;
using char16 = char16_t; // a UTF-16 unit; never wchar_t, which is 4 bytes on Linux
using TChar = char16;
using String128 = TChar[128]; // 127 units and the terminator
using FIDString = const char8*;
using CString = const char8*;
using TUID = char[16];

inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = 0;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kNoInterface = platform::kNoInterface;
inline constexpr tresult kInvalidArgument = platform::kInvalidArgument;
inline constexpr tresult kNotImplemented = platform::kNotImplemented;
inline constexpr tresult kInternalError = platform::kInternalError;
inline constexpr tresult kNotInitialized = platform::kNotInitialized;
inline constexpr tresult kOutOfMemory = platform::kOutOfMemory;

// Hosts answer failures with different codes (an unknown interface is kResultFalse from
// some, kNoInterface from others), so success is the only value worth comparing with.
constexpr bool Succeeded(tresult result) {
    return result == kResultOk;
}

// An identifier's 16 bytes as they lie in memory and are compared.
using Uid = std::array<char, 16>;

namespace detail {
constexpr void PutWord(Uid& uid, std::size_t at, uint32_t word, std::size_t bytes,
                       bool littleEndian) {
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::size_t shift = 8 * (littleEndian ? i : bytes - 1 - i);
        uid[at + i] = static_cast<char>((word >> shift) & 0xFFu);
    }
}
} // namespace detail

// The bytes of an identifier published as four words: the last eight bytes are words
// three and four, most significant byte first, everywhere; the first eight follow the
// platform's rule. Our own class identifiers are laid out the same way.
constexpr Uid MakeUid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
    const bool head = platform::kUidHeadLittleEndian;
    Uid uid{};
    detail::PutWord(uid, 0, l1, 4, head);
    detail::PutWord(uid, 4, l2 >> 16, 2, head);
    detail::PutWord(uid, 6, l2 & 0xFFFFu, 2, head);
    detail::PutWord(uid, 8, l3, 4, false);
    detail::PutWord(uid, 12, l4, 4, false);
    return uid;
}

// An identifier from its 16 bytes written out as hex pairs ("E8 31 FF ..."), the way
// the published tables show them; spaces are skipped, anything else fails to compile.
consteval Uid UidFromBytes(const char* text) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw "not an upper-case hex digit";
    };
    Uid uid{};
    for (char& byte : uid) {
        while (*text == ' ')
            ++text;
        byte = static_cast<char>(digit(text[0]) * 16 + digit(text[1]));
        text += 2;
    }
    while (*text == ' ')
        ++text;
    if (*text)
        throw "more than 16 bytes";
    return uid;
}

// Whether the 16 bytes behind a pointer the other side passed are this identifier.
inline bool SameUid(const char* bytes, const Uid& uid) {
    return bytes && std::memcmp(bytes, uid.data(), uid.size()) == 0;
}

// The root of every interface. A new object starts with one reference, owned by
// whoever asked for it; addRef and release return the new count. queryInterface
// stores an added reference on a match, else null with kNoInterface. Pointers passed
// into a call are borrowed: keep one only after addRef.
class FUnknown {
public:
    virtual tresult PLUGIN_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32_t PLUGIN_API addRef() = 0;
    virtual uint32_t PLUGIN_API release() = 0;

    static constexpr Uid kIid = MakeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

protected:
    ~FUnknown() = default;
};

// COM's IUnknown: the same bytes in both layouts, since its first two words are zero.
static_assert(FUnknown::kIid == UidFromBytes("00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46"));

// A byte stream the host owns, for state. One position serves reading and writing;
// the count arguments may be null.
class IBStream : public FUnknown {
public:
    enum IStreamSeekMode : int32_t {
        kIBSeekSet = 0,
        kIBSeekCur = 1,
        kIBSeekEnd = 2,
    };

    virtual tresult PLUGIN_API read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
    virtual tresult PLUGIN_API write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
    virtual tresult PLUGIN_API seek(int64_t pos, int32_t mode, int64_t* result) = 0;
    virtual tresult PLUGIN_API tell(int64_t* pos) = 0;

    static constexpr Uid kIid = MakeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);

protected:
    ~IBStream() = default;
};

// Set-up and tear-down of a plug-in object. A failed initialize means the host
// releases the object without terminate.
class IPluginBase : public FUnknown {
public:
    virtual tresult PLUGIN_API initialize(FUnknown* context) = 0;
    virtual tresult PLUGIN_API terminate() = 0;

    static constexpr Uid kIid = MakeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

protected:
    ~IPluginBase() = default;
};

} // namespace vst3
