#include "song_clock.h"

#include <cmath>

#include "effect/sweep.h"

namespace {

bool given(double value) { return std::isfinite(value); }

}  // namespace

void SongClock::startRun() {
    if (positionKnown) return;
    anchor = 0.0;
    framesSinceAnchor = 0;
}

double SongClock::tempo() const { return beatsPerMinute * (4.0 / beatUnit) * speed; }

// From the start of the anchor's update, never summed run by run, so the
// position does not drift; the same shape as the project's VST 2.4 host clock.
Transport SongClock::now() const {
    const double bpm = tempo();
    const double step = quarterNotesPerSample(sampleRate, bpm);
    return {anchor + static_cast<double>(framesSinceAnchor) * step, bpm};
}

// The running beat where the host gives it; else the bar's start and the
// beat within it, or the beat within the bar alone while the bar's length is
// unknown.
double SongClock::beatsFrom(const PositionUpdate& update) const {
    if (given(update.beat)) return update.beat;
    if (!given(update.barBeat)) return PositionUpdate::kUnsaid;
    if (given(update.bar) && beatsPerBar > 0.0) return update.bar * beatsPerBar + update.barBeat;
    return update.barBeat;
}

void SongClock::apply(const PositionUpdate& update) {
    // The song has moved on at the old tempo up to here.
    anchor = now().position;
    framesSinceAnchor = 0;
    if (given(update.beatUnit) && update.beatUnit > 0.0) beatUnit = update.beatUnit;
    if (given(update.beatsPerBar) && update.beatsPerBar > 0.0) beatsPerBar = update.beatsPerBar;
    const double beats = beatsFrom(update);
    if (given(beats)) {
        anchor = beats * (4.0 / beatUnit);
        positionKnown = true;
    }
    if (given(update.beatsPerMinute)) beatsPerMinute = update.beatsPerMinute;
    if (given(update.speed)) speed = update.speed;
}
