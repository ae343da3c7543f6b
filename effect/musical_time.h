// How far the song moves in one sample. Plug-in and host evaluate it in this
// one shape, so a position the plug-in extrapolates inside a long block meets,
// to the bit, the one a host hands out for the next, shorter block.
#pragma once

// Quarter notes per sample. A single-precision rate widens exactly.
inline double quarterNotesPerSample(double sampleRate, double bpm) { return 1.0 / (sampleRate / (bpm / 60.0)); }
