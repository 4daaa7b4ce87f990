#pragma once

// What every format answers alike (plug/HostPolicy): each format's suite holds its
// adapter to these tables through the format's own calls.

#include <cstdint>
#include <limits>
#include <vector>

struct HostRateCase {
    double rate;
    bool accepted;
};
inline constexpr HostRateCase kHostRateCases[] = {
    {1.0, true},
    {44100.0, true},
    {1.0e7, true},
    {0.5, false},
    {0.0, false},
    {-48000.0, false},
    {2.0e7, false},
    {5.0e8, false},
    {std::numeric_limits<double>::quiet_NaN(), false},
    {std::numeric_limits<double>::infinity(), false},
};

// A state cut short has the values it holds applied, and the host is told it was not
// whole; one past 1 MiB, or whose header is cut, changes nothing.
enum class HostStateAnswer { kRefused, kPartial, kWhole };
struct HostStateCase {
    const char* name;
    std::size_t size; // the effect's saved state cut to this many bytes, or padded with zeros
    HostStateAnswer answer;
};
inline constexpr HostStateCase kHostStateCases[] = {
    {"header cut short", 6, HostStateAnswer::kRefused},
    {"header and one value", 16, HostStateAnswer::kPartial},
    {"short by one byte", 103, HostStateAnswer::kPartial},
    {"the state", 104, HostStateAnswer::kWhole},
    {"padded to the largest state", 1 << 20, HostStateAnswer::kWhole},
    {"one byte past the largest state", (1 << 20) + 1, HostStateAnswer::kRefused},
};

template <class Byte>
std::vector<Byte> SizedState(const std::vector<Byte>& saved, const HostStateCase& c) {
    std::vector<Byte> bytes(
        saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(std::min(c.size, saved.size())));
    bytes.resize(c.size, Byte{0});
    return bytes;
}
