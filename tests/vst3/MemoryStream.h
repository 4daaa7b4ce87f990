#pragma once

#include "HostObject.h"

#include <cstdint>
#include <vector>

// The host's state stream: bytes in memory with one position for reading and writing,
// as hosts hand them to getState and setState. A host may start the plug-in's part
// after a header of its own, so the stream can begin anywhere in its bytes. It can
// also misbehave as a broken file does: reads that come in pieces or fail from a given
// position on.
class MemoryStream final : public HostObject<vst3::IBStream> {
public:
    explicit MemoryStream(std::vector<char> bytes = {}, int64_t position = 0);

    vst3::tresult PLUGIN_API read(void* buffer, int32_t numBytes, int32_t* numBytesRead) override;
    vst3::tresult PLUGIN_API write(void* buffer, int32_t numBytes,
                                   int32_t* numBytesWritten) override;
    vst3::tresult PLUGIN_API seek(int64_t pos, int32_t mode, int64_t* result) override;
    vst3::tresult PLUGIN_API tell(int64_t* pos) override {
        if (!pos)
            return vst3::kInvalidArgument;
        *pos = position;
        return vst3::kResultOk;
    }

    const std::vector<char>& Bytes() const { return bytes; }

    // A read that would reach past this position fails with kResultFalse and reads nothing.
    void FailReadsFrom(int64_t at) { readFailure = at; }
    // Each read hands out at most this many bytes, as streams over files may.
    void LimitReadsTo(int32_t bytesPerRead) { readLimit = bytesPerRead; }

    // No state needs more; a bigger write is refused rather than allocated.
    static constexpr int64_t kMaxSize = int64_t{1} << 28;

private:
    std::vector<char> bytes;
    int64_t position;
    int64_t readFailure = INT64_MAX;
    int32_t readLimit = INT32_MAX;
};
