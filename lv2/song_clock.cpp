#include "song_clock.h"

#include <cmath>

#include "effect/sweep.h"

namespace {

bool given(double value) { return std::isfinite(value); }

}  // namespace

SongClock::SongClock(float sampleRate) : sampleRate(sampleRate), step(quarterNotesPerSample(sampleRate, tempo)) {}

void SongClock::startRun() {
    if (positionKnown) return;
    anchor = 0.0;
    framesSinceAnchor = 0;
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
    // The song has moved on at the old tempo up to here; from here on the
    // position is the anchor plus frames times the step, never a sum run by
    // run, so it does not drift (the shape of the project's VST 2.4 host clock).
    anchor = now().position;
    framesSinceAnchor = 0;
    bool tempoChanged = false;
    auto change = [&tempoChanged](double& held, double value) {
        if (value == held) return;
        held = value;
        tempoChanged = true;
    };
    if (given(update.beatUnit) && update.beatUnit > 0.0) change(beatUnit, update.beatUnit);
    if (given(update.beatsPerMinute)) change(beatsPerMinute, update.beatsPerMinute);
    if (given(update.speed)) change(speed, update.speed);
    if (tempoChanged) {
        quarterNotesPerBeat = 4.0 / beatUnit;
        tempo = beatsPerMinute * quarterNotesPerBeat * speed;
        step = quarterNotesPerSample(sampleRate, tempo);
    }
    if (given(update.beatsPerBar) && update.beatsPerBar > 0.0) beatsPerBar = update.beatsPerBar;
    const double beats = beatsFrom(update);
    if (given(beats)) {
        anchor = beats * quarterNotesPerBeat;
        positionKnown = true;
    }
}
