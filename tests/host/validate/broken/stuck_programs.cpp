// Broken on purpose: four programs, but choosing one changes nothing, so the
// current program always reads 0.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.programs = 4, .programChoice = bare::Offer::broken};
