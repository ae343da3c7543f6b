// Broken on purpose: it has an editor, and opening it crashes.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.editor = bare::Offer::broken};
