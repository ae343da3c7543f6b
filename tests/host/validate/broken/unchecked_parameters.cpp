// Broken on purpose: parameter values are taken as they come, NaN and
// infinities included, and read back doubled.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.anyParameterValue = true, .readBackScale = 2.0f};
