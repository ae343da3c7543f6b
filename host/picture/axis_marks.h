// Which marks the spectrogram's axes carry: frequencies up the side, bars,
// beats and tempi across. Chosen apart from the drawing, so what a picture
// says can be checked without reading its pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "host/song/tempo_map.h"
#include "host/song/transport.h"

namespace vsthost {

struct AxisMark {
    double at;         // Hz up the side; quarter notes across
    std::string text;  // empty for a line or tick without a number
};

// Round frequencies (1, 2 and 5 times a power of ten, or only the powers of
// ten where those crowd) from 20 Hz up to `highest` (20 Hz or more), then
// `highest` itself where it stands far enough above the last of them to be
// read apart: at high rates the top of the plot says how far it reaches.
// `pixelsPerOctave` and `textHeight` say what is far enough.
std::vector<AxisMark> frequencyMarks(double highest, double pixelsPerOctave, std::int32_t textHeight);

// Bars numbered from 1 as musicians count them. A line at every bar, or at
// every lineStep-th bar when bars are too narrow for a line each; a number
// where there is room; ticks at the signature's beats (eighths in 6/8) when
// they are far enough apart, numbered ("1.2") in a clip too short for three
// bar numbers.
struct TimeMarks {
    std::int64_t lineStep = 1;
    std::vector<AxisMark> bars;   // lines, with the bar's number where it fits
    std::vector<AxisMark> beats;  // ticks, with "bar.beat" where numbered
};

TimeMarks timeMarks(double startBeat, double endBeat, TimeSignature signature, double pixelsPerQuarter,
                    const BitmapFont& font);

// "120 BPM" where the render starts and at every change of tempo up to
// `frames`.
std::vector<AxisMark> tempoMarks(const TempoMap& tempo, std::int64_t frames);

// 1.5, 20, 0.25: as few digits as the value needs, at most two decimals.
std::string shortNumber(double value);

}  // namespace vsthost
