#pragma once

#include "CLAPInterface.h"

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

// How much one read or write moves at most, and after how many bytes the stream fails.
// Hosts hand state over in pieces: the public validator reads in small prime-sized ones.
class CLAPStreamPlan {
public:
    // Each call moves at most the next of these sizes, in turn; empty: no limit.
    void SetPieces(std::vector<uint64_t> sizes) { pieces = std::move(sizes); }
    // Every call after this many bytes answers -1.
    void FailAfter(uint64_t bytes) { failAt = bytes; }
    // The bytes the next call moves when asked for `wanted` with `left` available, or -1.
    int64_t Next(uint64_t wanted, uint64_t left);
    uint64_t Moved() const { return moved; }

private:
    std::vector<uint64_t> pieces;
    std::size_t nextPiece = 0;
    uint64_t failAt = std::numeric_limits<uint64_t>::max();
    uint64_t moved = 0;
};

// Small primes, the piece sizes of a host that reads state in odd amounts.
inline const std::vector<uint64_t> kCLAPPrimePieces = {1, 2, 3, 5, 7, 11, 13, 17, 19, 23};

// A state read from memory: 0 at the end, -1 on a planned failure or a null buffer.
class CLAPIStream {
public:
    explicit CLAPIStream(std::vector<uint8_t> content) : bytes(std::move(content)) {}
    CLAPIStream(const CLAPIStream&) = delete;
    CLAPIStream& operator=(const CLAPIStream&) = delete;

    const clap_istream_t* Stream() const { return &stream; }
    CLAPStreamPlan plan;

private:
    static int64_t QUELOR_CLAP_CALL Read(const clap_istream_t* stream, void* buffer, uint64_t size);

    clap_istream_t stream{this, Read};
    std::vector<uint8_t> bytes;
};

// A state written to memory: -1 on a planned failure or a null buffer.
class CLAPOStream {
public:
    CLAPOStream() = default;
    CLAPOStream(const CLAPOStream&) = delete;
    CLAPOStream& operator=(const CLAPOStream&) = delete;

    const clap_ostream_t* Stream() const { return &stream; }
    const std::vector<uint8_t>& Bytes() const { return bytes; }
    CLAPStreamPlan plan;

private:
    static int64_t QUELOR_CLAP_CALL Write(const clap_ostream_t* stream, const void* buffer,
                                          uint64_t size);

    clap_ostream_t stream{this, Write};
    std::vector<uint8_t> bytes;
};
