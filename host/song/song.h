// The song a render plays: its tempo map and time signature, and the clock
// built from them that a host hands a plug-in. The render loop moves the
// clock on block by block; a block ends where the tempo changes, and the new
// tempo starts on that exact sample at the exact beat the map gives it.
#pragma once

#include <cstdint>

#include "tempo_map.h"
#include "transport.h"

namespace vsthost {

class Song {
public:
    explicit Song(TempoMap tempo, TimeSignature signature = {});

    const TempoMap& tempo() const { return tempo_; }
    TimeSignature signature() const { return signature_; }
    // Where the song is at the start of the next block.
    const Transport& clock() const { return clock_; }

    // Frames from the clock's position to the next tempo change, at most maxFrames.
    std::int32_t framesUntilChange(std::int32_t maxFrames) const;
    // Moves the clock past a block of `frames`.
    void advance(std::int32_t frames);

private:
    TempoMap tempo_;
    TimeSignature signature_;
    Transport clock_;
};

}  // namespace vsthost
