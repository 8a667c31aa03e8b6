#pragma once
#include <cstdint>

// One time-stamped MIDI message in the engine's queue; the one format every
// queue writer (VST and native adaptors) uses.
struct MidiQueueEvent {
    uint8_t status;  // status byte with the channel bits cleared (0x80..0xE0)
    uint8_t data1;  // 0..127
    uint8_t data2;  // 0..127, 0 for one-byte messages
    uint8_t spare;  // not interpreted by the engine
    int32_t offset;  // frame inside the current host block, 0 = first frame
};
static_assert(sizeof(MidiQueueEvent) == 8, "queue entries are 8 bytes");
