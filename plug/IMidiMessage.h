#pragma once

#include <cstdint>

// One short MIDI message at a frame offset within the current block.
struct IMidiMessage {
    int32_t offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};
static_assert(sizeof(IMidiMessage) == 8, "lists of messages are arrays of 8-byte records");
