// The editor, opened in a real X window, idled, measured and closed.
#include "host/validate/catalogue.h"

namespace vsthost::validate {

CheckGroup editorGroup() { return {"editor", {}}; }

}  // namespace vsthost::validate
