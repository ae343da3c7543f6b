// Broken on purpose: of its four outputs it writes only the first, leaving
// whatever the host's buffers held in the others.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.outputs = 4, .writtenOutputs = 1};
