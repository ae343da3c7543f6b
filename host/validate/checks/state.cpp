// State a host stores and restores: the chunk or the parameters, and the
// programs.
#include "host/validate/catalogue.h"

namespace vsthost::validate {

CheckGroup stateGroup() { return {"state", {}}; }

}  // namespace vsthost::validate
