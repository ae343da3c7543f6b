#include "transport.h"

#include <cmath>

namespace vsthost {

Transport::Transport(double sampleRate, double tempo, double startBeat, TimeSignature signature)
    : sampleRate_(sampleRate), tempo_(tempo), signature_(signature), anchorPpq_(startBeat) {}

double Transport::ppqPosition() const {
    return anchorPpq_ + static_cast<double>(samplePos_ - anchorSample_) * quarterNotesPerSample(sampleRate_, tempo_);
}

double Transport::barStart() const {
    const double barLength = signature_.numerator * 4.0 / signature_.denominator;
    return barOrigin_ + std::floor((ppqPosition() - barOrigin_) / barLength) * barLength;
}

void Transport::reanchor() {
    anchorPpq_ = ppqPosition();
    anchorSample_ = samplePos_;
}

void Transport::setSampleRate(double rate) {
    reanchor();
    sampleRate_ = rate;
}

void Transport::setTempo(double bpm) {
    reanchor();
    tempo_ = bpm;
}

void Transport::setTimeSignature(TimeSignature signature) {
    barOrigin_ = ppqPosition();
    signature_ = signature;
}

void Transport::setPlaying(bool playing) {
    reanchor();
    playing_ = playing;
}

void Transport::locate(std::int64_t samplePos, double ppqPos) {
    samplePos_ = samplePos;
    anchorSample_ = samplePos;
    anchorPpq_ = ppqPos;
}

void Transport::advance(std::int64_t frames) {
    // A stopped song stays where it is while audio still flows.
    if (playing_) samplePos_ += frames;
}

VstTimeInfo Transport::timeInfo() const {
    VstTimeInfo info{};
    info.samplePos = static_cast<double>(samplePos_);
    info.sampleRate = sampleRate_;
    info.ppqPos = ppqPosition();
    info.tempo = tempo_;
    info.barStartPos = barStart();
    info.timeSigNumerator = signature_.numerator;
    info.timeSigDenominator = signature_.denominator;
    info.flags = kAllFlags & reported_;
    return info;
}

}  // namespace vsthost
