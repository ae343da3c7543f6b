// Broken on purpose: its parameter name is far longer than any host buffer
// for it, its display a little longer than the standard one, and its product
// text has no terminating NUL.
#include "support/bare_plugin.h"

const bare::Behaviour bare::behaviour{
    .parameterName = "Gain of the signal on its way from the input to the output, in linear steps from silence to half",
    .parameterDisplay = "half a signal",
    .unterminatedProduct = true,
};
