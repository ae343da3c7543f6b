// Broken on purpose: it claims bypass and accepts it, but goes on
// processing.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.bypass = bare::Offer::broken};
