#include "axis_marks.h"

#include <cmath>
#include <cstdio>

#include "host/text/decimal_number.h"

namespace vsthost {

namespace {

std::string hertzText(double hz) { return hz >= 1000.0 ? shortNumber(hz / 1000.0) + "k" : shortNumber(hz); }

}  // namespace

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    const std::string s = withoutTrailingZeros(text);
    return s == "-0" ? "0" : s;
}

std::vector<AxisMark> frequencyMarks(double highest, double pixelsPerOctave, std::int32_t textHeight) {
    // Half a line of space between two labels keeps them apart.
    const double apart = 1.5 * textHeight / pixelsPerOctave;  // in octaves
    // 1, 2 and 5 lie an octave or more apart; where that is too close, the
    // powers of ten and the bottom of the axis.
    const bool all = apart <= 1.0;
    std::vector<AxisMark> marks;
    for (const double hz :
         {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0, 50000.0, 100000.0, 200000.0}) {
        if (hz > highest) break;
        const bool powerOfTen = hz == 100.0 || hz == 1000.0 || hz == 10000.0 || hz == 100000.0;
        if (!marks.empty() && ((!all && !powerOfTen) || std::log2(hz / marks.back().at) < apart)) continue;
        marks.push_back({hz, hertzText(hz)});
    }
    if (std::log2(highest / marks.back().at) >= apart) marks.push_back({highest, hertzText(highest)});
    return marks;
}

TimeMarks timeMarks(double startBeat, double endBeat, TimeSignature signature, double pixelsPerQuarter,
                    const BitmapFont& font) {
    const double beatLength = 4.0 / signature.denominator;  // in quarter notes
    const double barLength = signature.numerator * beatLength;
    const double pixelsPerBar = barLength * pixelsPerQuarter;
    const double pixelsPerBeat = beatLength * pixelsPerQuarter;

    TimeMarks marks;
    while (pixelsPerBar * static_cast<double>(marks.lineStep) < 6.0) marks.lineStep *= 2;
    // The tolerance keeps a bar that starts on the first beat from being lost to rounding.
    const auto firstBar = static_cast<std::int64_t>(std::floor(startBeat / barLength + 1e-9));
    const auto lastBar = static_cast<std::int64_t>(std::floor(endBeat / barLength + 1e-9));
    const std::int32_t widestLabel = font.width(std::to_string(lastBar + 1) + ".00") + 14;
    std::int64_t labelStep = marks.lineStep;
    while (pixelsPerBar * static_cast<double>(labelStep) < widestLabel) labelStep *= 2;
    const bool numberBeats =
        pixelsPerBar >= 3.0 * widestLabel && (endBeat - startBeat) / barLength < 3.0 && pixelsPerBeat >= widestLabel;

    for (std::int64_t bar = firstBar; bar <= lastBar; ++bar) {
        const double barStart = static_cast<double>(bar) * barLength;
        if (pixelsPerBeat >= 5.0) {
            for (std::int32_t b = 1; b < signature.numerator; ++b) {
                const double beat = barStart + b * beatLength;
                if (beat < startBeat || beat > endBeat) continue;
                marks.beats.push_back(
                    {beat, numberBeats ? std::to_string(bar + 1) + "." + std::to_string(b + 1) : std::string()});
            }
        }
        if (barStart < startBeat - 1e-9 || bar % marks.lineStep != 0) continue;
        marks.bars.push_back({barStart, bar % labelStep == 0 ? std::to_string(bar + 1) : std::string()});
    }
    return marks;
}

std::vector<AxisMark> tempoMarks(const TempoMap& tempo, std::int64_t frames) {
    std::vector<AxisMark> marks;
    for (std::int64_t sample = 0; sample <= frames; sample = tempo.nextChangeAfter(sample)) {
        marks.push_back({tempo.beatAt(sample), shortNumber(tempo.tempoAt(sample)) + " BPM"});
        if (tempo.nextChangeAfter(sample) == TempoMap::kNever) break;
    }
    return marks;
}

}  // namespace vsthost
