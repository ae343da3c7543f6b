// Broken on purpose: opening it sets the process's locale, as toolkits do
// when asked to follow the user's settings.
#include <clocale>

#include "support/bare_plugin.h"

namespace {

void setLocale(bare::Effect&, std::int32_t opcode) {
    if (opcode == effOpen) std::setlocale(LC_ALL, "C.UTF-8");
}

}  // namespace

const bare::Behaviour bare::behaviour{.onDispatch = setLocale};
