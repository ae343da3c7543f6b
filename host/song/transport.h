// The host's musical clock: where the song is, in samples and in quarter
// notes, at the first sample of each block. Positions are derived from the
// last tempo change, never summed block by block, so they do not drift.
#pragma once

#include <cstdint>

#include "effect/musical_time.h"
#include "frame/time_info.h"

namespace vsthost {

struct TimeSignature {
    std::int32_t numerator = 4;
    std::int32_t denominator = 4;
};

class Transport {
public:
    explicit Transport(double sampleRate = 44100.0, double tempo = 120.0, double startBeat = 0.0,
                       TimeSignature signature = {});

    double sampleRate() const { return sampleRate_; }
    double tempo() const { return tempo_; }
    TimeSignature timeSignature() const { return signature_; }
    std::int64_t samplePosition() const { return samplePos_; }
    double ppqPosition() const;
    double barStart() const;
    bool playing() const { return playing_; }

    // Each of these takes effect at the current position.
    void setSampleRate(double rate);
    void setTempo(double bpm);
    void setTimeSignature(TimeSignature signature);  // a new bar starts here
    void setPlaying(bool playing);
    void locate(std::int64_t samplePos, double ppqPos);

    void advance(std::int64_t frames);

    // Flags reported in the time record; a host without a musical clock
    // clears kVstPpqPosValid, kVstTempoValid and friends here.
    void setReportedFlags(std::int32_t mask) { reported_ = mask; }
    std::int32_t reportedFlags() const { return reported_; }

    // The record for the block that starts at the current position.
    VstTimeInfo timeInfo() const;

    static constexpr std::int32_t kAllFlags = kVstPpqPosValid | kVstTempoValid;

private:
    void reanchor();

    double sampleRate_;
    double tempo_;
    TimeSignature signature_;
    std::int64_t samplePos_ = 0;
    std::int64_t anchorSample_ = 0;  // position of the last tempo or rate change
    double anchorPpq_;
    double barOrigin_ = 0.0;  // a bar line, in quarter notes
    bool playing_ = true;
    std::int32_t reported_ = kAllFlags;
};

}  // namespace vsthost
