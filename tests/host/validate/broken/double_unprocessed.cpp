// Broken on purpose: it offers double precision, but its double-precision
// entry hands the input back unprocessed.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.doublePrecision = bare::Offer::broken};
