// The library's only exports: one function under the two names hosts look for.
#include "audio_effect.h"
#include "opcodes.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    // Without a callback there is no host to ask, and no instance to give.
    if (host == nullptr) return nullptr;
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    AudioEffect* const effect = createEffectInstance(host);
    return effect != nullptr ? effect->getAeffect() : nullptr;
}

// "main" cannot be declared under its own name with this signature in C++,
// so the alias is bound to the symbol name directly.
extern "C" __attribute__((visibility("default"))) AEffect* mainAlias(audioMasterCallback host) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
