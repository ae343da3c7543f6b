// The one symbol the library exports: hosts ask it for plug-in 0, 1, ...
// until it answers null.
#include <lv2/core/lv2.h>

#include "plugin_descriptor.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &wobbleDescriptor() : nullptr;
}
