// Nothing broken: everything a plug-in can offer besides plain processing,
// offered correctly, so that every check of those offers can be seen to
// pass. A chunk, three programs, double precision, a latency of 64 frames
// really applied, bypass and an editor.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{
    .chunk = bare::Offer::works,
    .programs = 3,
    .doublePrecision = bare::Offer::works,
    .latency = 64,
    .delay = 64,
    .bypass = bare::Offer::works,
    .editor = bare::Offer::works,
};
