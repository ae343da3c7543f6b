// Where lilv looks for LV2 bundles: LV2_PATH as the user set it, with
// relative folders made absolute first, since lilv 0.24 turns a folder into
// a file URI as written and crashes on a relative one. Without LV2_PATH,
// lilv's own standard folders.
#pragma once

#include <lilv/lilv.h>

#include <optional>
#include <string>

namespace vsthost {

// LV2_PATH with every folder absolute; nothing when it is not set.
std::optional<std::string> absoluteLv2Path();

// Loads every bundle on the search path into `world`: what
// lilv_world_load_all() does, safely.
void loadAllBundles(LilvWorld* world);

}  // namespace vsthost
