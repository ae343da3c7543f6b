// Broken on purpose: parameter values are taken as they come, NaN and
// infinities included, and read back doubled.
#include "bare_effect.h"

const bare::Faults bare::faults{.anyParameterValue = true, .readBackScale = 2.0f};
