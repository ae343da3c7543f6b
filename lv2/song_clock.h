// The host's musical position between its updates: held from the last one
// and moved on by every frame processed, at the tempo and speed it gave.
// Until a host has given a position, each run starts at the song's start
// (quarter note 0, so at a period's start), as each block does for a VST 2.4
// host that answers no time.
#pragma once

#include <cstdint>
#include <limits>

#include "effect/wobble.h"

// What one time:Position object said; NaN where it said nothing. Beats count
// in the object's beat unit (a quarter note when the unit is 4).
struct PositionUpdate {
    static constexpr double kUnsaid = std::numeric_limits<double>::quiet_NaN();
    double bar = kUnsaid;
    double barBeat = kUnsaid;
    double beat = kUnsaid;  // running beat since the song's start
    double beatUnit = kUnsaid;
    double beatsPerBar = kUnsaid;
    double beatsPerMinute = kUnsaid;
    double speed = kUnsaid;  // 0 stopped, 1 playing, negative backwards
};

class SongClock {
public:
    explicit SongClock(float sampleRate);

    void startRun();
    // Takes effect at the current frame.
    void apply(const PositionUpdate& update);
    // Where the song is at the current frame, in quarter notes.
    SongPosition now() const { return {anchor + static_cast<double>(framesSinceAnchor) * step, tempo}; }
    void advance(std::uint32_t frames) { framesSinceAnchor += frames; }

private:
    double beatsFrom(const PositionUpdate& update) const;

    float sampleRate;
    bool positionKnown = false;
    double anchor = 0.0;  // quarter notes, at the last update
    std::uint64_t framesSinceAnchor = 0;
    double beatsPerMinute = 120.0;
    double beatUnit = 4.0;
    double beatsPerBar = 0.0;  // 0 until a host gives it
    double speed = 1.0;
    // Derived from beatsPerMinute, beatUnit and speed (not beatsPerBar) only
    // when one of them changes: hosts send the same tempo with every
    // position, and dividing for it every run would cost more than the run's
    // short blocks.
    double quarterNotesPerBeat = 1.0;
    double tempo = 120.0;  // quarter notes per minute, speed included
    double step;           // quarter notes per frame
};
