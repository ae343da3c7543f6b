// What a plug-in says it offers besides plain processing: double precision,
// events, latency and bypass, each checked where it is offered.
#include "host/validate/catalogue.h"

namespace vsthost::validate {

CheckGroup featuresGroup() { return {"features", {}}; }

}  // namespace vsthost::validate
