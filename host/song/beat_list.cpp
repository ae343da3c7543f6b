#include "beat_list.h"

#include <algorithm>

#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/trimmed.h"

namespace vsthost {

std::vector<BeatEntry> splitBeatList(std::string_view list, std::string_view form, std::string& problem) {
    std::vector<BeatEntry> entries;
    problem.clear();
    if (trimmed(list).empty()) {
        problem = "expected " + std::string(form) + "," + std::string(form) + ",...";
        return {};
    }
    while (true) {
        const auto comma = list.find(',');
        const std::string_view entry = trimmed(list.substr(0, comma));
        const auto colon = entry.find(':');
        if (colon == std::string_view::npos) {
            problem = "'" + excerpt(entry) + "' is not " + std::string(form);
            return {};
        }
        const auto beat = parseDecimal(trimmed(entry.substr(0, colon)));
        if (!beat) {
            problem = "'" + excerpt(entry.substr(0, colon)) + "' is not a beat number";
            return {};
        }
        entries.push_back({*beat, trimmed(entry.substr(colon + 1))});
        if (comma == std::string_view::npos) return entries;
        list.remove_prefix(comma + 1);
    }
}

std::string beatOrderProblem(const std::vector<double>& beats, BeatOrder order) {
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const double beat = beats[i];
        if (i == 0) continue;
        const double before = beats[i - 1];
        if (order == BeatOrder::rising && !(beat > before))
            return "beat " + numberText(beat) + " comes after beat " + numberText(before) +
                   "; beats must rise from one change to the next";
        if (order == BeatOrder::neverFalling && beat < before)
            return "beat " + numberText(beat) + " comes after beat " + numberText(before) +
                   "; beats must not fall from one keyframe to the next";
    }
    return {};
}

std::string beatBeforeStartProblem(const std::vector<double>& beats, double startBeat) {
    // A negative start beat is a pre-roll: the song starts there. A later
    // one starts the render part-way into a song that starts at beat 0.
    const double first = std::min(startBeat, 0.0);
    for (const double beat : beats)
        if (beat < first)
            return "beat " + numberText(beat) +
                   (startBeat < 0.0 ? " lies before the start of the render at beat " + numberText(startBeat)
                                    : " lies before the start of the song at beat 0 (a negative --start-beat "
                                      "begins it earlier)");
    return {};
}

}  // namespace vsthost
