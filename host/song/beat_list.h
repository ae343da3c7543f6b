// Lists of "BEAT:X,BEAT:X,..." as --tempo-map and --automate take them: one
// walker splits them, and one rule checks the order of their beats, whatever
// the list came from (a file's keyframes too).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vsthost {

struct BeatEntry {
    double beat;
    std::string_view text;  // what follows the colon, trimmed; empty when nothing does
};

// Splits the list at its commas and each entry at its first colon. Answers
// what is wrong in `problem` (naming the entry and `form`, e.g. "BEAT:BPM")
// and no entries when an entry has no colon or no beat number.
std::vector<BeatEntry> splitBeatList(std::string_view list, std::string_view form, std::string& problem);

enum class BeatOrder {
    neverFalling,  // keyframes: two on one beat make a step
    rising,        // tempo changes
};

// What is wrong with the order of these beats, or an empty text. Known
// when the list is read; where the song starts is known only with the
// whole command, so beatBeforeStartProblem() checks that.
std::string beatOrderProblem(const std::vector<double>& beats, BeatOrder order);

// The first of these beats that lies before the song's first beat (the start
// beat when it is negative, a pre-roll, else beat 0) named, or an empty text.
std::string beatBeforeStartProblem(const std::vector<double>& beats, double startBeat);

}  // namespace vsthost
