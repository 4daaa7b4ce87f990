#include "MemoryStream.h"

#include <algorithm>
#include <cstring>

using namespace vst3;

MemoryStream::MemoryStream(std::vector<char> initial, int64_t start)
    : HostObject("memory stream"), bytes(std::move(initial)), position(start) {}

tresult PLUGIN_API MemoryStream::read(void* buffer, int32_t numBytes, int32_t* numBytesRead) {
    if (numBytesRead)
        *numBytesRead = 0;
    if (numBytes < 0 || (!buffer && numBytes > 0))
        return kInvalidArgument;
    if (position + numBytes > readFailure)
        return kResultFalse;
    const int64_t count = std::clamp<int64_t>(static_cast<int64_t>(bytes.size()) - position, 0,
                                              std::min(numBytes, readLimit));
    if (count > 0)
        std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(count));
    position += count;
    if (numBytesRead)
        *numBytesRead = static_cast<int32_t>(count);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) {
    if (numBytesWritten)
        *numBytesWritten = 0;
    if (numBytes < 0 || (!buffer && numBytes > 0))
        return kInvalidArgument;
    if (position + numBytes > kMaxSize)
        return kResultFalse;
    // A write after a seek past the end fills the gap with zeros.
    bytes.resize(std::max(bytes.size(), static_cast<size_t>(position + numBytes)));
    if (numBytes > 0)
        std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
    position += numBytes;
    if (numBytesWritten)
        *numBytesWritten = numBytes;
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64_t pos, int32_t mode, int64_t* result) {
    const int64_t base = mode == kIBSeekCur   ? position
                         : mode == kIBSeekEnd ? static_cast<int64_t>(bytes.size())
                                              : 0;
    // Bounded before adding, so that no offset a plug-in passes can overflow.
    if (mode < kIBSeekSet || mode > kIBSeekEnd || pos < -kMaxSize || pos > kMaxSize ||
        base + pos < 0 || base + pos > kMaxSize)
        return kInvalidArgument;
    position = base + pos;
    if (result)
        *result = position;
    return kResultOk;
}
