#include "song.h"

#include <algorithm>
#include <utility>

namespace vsthost {

Song::Song(TempoMap tempo, TimeSignature signature)
    : tempo_(std::move(tempo)),
      signature_(signature),
      clock_(tempo_.sampleRate(), tempo_.tempoAt(0), tempo_.beatAt(0), signature) {}

std::int32_t Song::framesUntilChange(std::int32_t maxFrames) const {
    const std::int64_t position = clock_.samplePosition();
    return static_cast<std::int32_t>(std::min<std::int64_t>(maxFrames, tempo_.nextChangeAfter(position) - position));
}

void Song::advance(std::int32_t frames) {
    clock_.advance(frames);
    const std::int64_t position = clock_.samplePosition();
    // Located afresh from the map, so the clock never drifts from it.
    if (tempo_.changesAt(position)) {
        clock_.setTempo(tempo_.tempoAt(position));
        clock_.locate(position, tempo_.beatAt(position));
    }
}

}  // namespace vsthost
