// Broken on purpose: an instrument whose notes never stop, because it
// ignores note-off messages.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.inputs = 0, .events = bare::Offer::broken, .instrument = true};
