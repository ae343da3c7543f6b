// Broken on purpose: it reports a latency of 512 frames, but its output is
// not delayed at all, so a host delays everything else for nothing.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{.latency = 512};
