// Events a host hands a plug-in before a block (effProcessEvents): a list of
// pointers to events, each a header the type is read from; MIDI messages are
// the kind every instrument takes. Declared for the 64-bit layout.
#pragma once

#include <cstddef>
#include <cstdint>

// Common to every kind of event: its kind, its size and where in the next
// block it falls.
struct VstEvent {
    std::int32_t type;
    std::int32_t byteSize;  // of the event after these first two fields
    std::int32_t deltaFrames;
    std::int32_t flags;
    char data[16];
};

static_assert(offsetof(VstEvent, deltaFrames) == 8);
static_assert(offsetof(VstEvent, data) == 16);
static_assert(sizeof(VstEvent) == 32);

enum : std::int32_t {
    kVstMidiType = 1,
};

enum : std::int32_t {
    kVstMidiEventIsRealtime = 1 << 0,
};

struct VstMidiEvent {
    std::int32_t type;  // kVstMidiType
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;  // 0 when not known
    std::int32_t noteOffset;
    char midiData[4];  // status and up to two data bytes, the fourth 0
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

static_assert(offsetof(VstMidiEvent, noteLength) == 16);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, detune) == 28);
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29);
static_assert(sizeof(VstMidiEvent) == sizeof(VstEvent));

// Variable length: numEvents pointers follow; declared with the customary
// two, lists are allocated with room for the events they really hold.
struct VstEvents {
    std::int32_t numEvents;
    std::intptr_t reserved;
    VstEvent* events[2];
};

static_assert(offsetof(VstEvents, reserved) == 8);
static_assert(offsetof(VstEvents, events) == 16);
static_assert(sizeof(VstEvents) == 32);
