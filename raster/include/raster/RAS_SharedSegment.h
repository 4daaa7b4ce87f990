#pragma once

#include <cstddef>

// A System V shared memory segment: storage that an X server with MIT-SHM reads where it
// is, with no copy. Linux only.
struct RAS_SharedSegment {
    int id = -1;
    void* memory = nullptr; // attached to this process; null where the system gave none
};

// A new zeroed segment of `bytes`, attached here and marked for removal at once, so that it
// goes with the last process that lets go of it, even should the host crash; Linux lets
// the X server attach it still.
RAS_SharedSegment RAS_NewSharedSegment(std::size_t bytes);
// Lets go of a segment's memory in this process.
void RAS_DetachSharedSegment(void* memory);
