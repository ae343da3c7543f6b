// Plug-ins that fail before there is an effect, for the host's tests, one
// per compile definition:
//   FIXTURE_NO_ENTRY     exports no entry point at all
//   FIXTURE_NULL         answers its entry point with null
//   FIXTURE_BAD_MAGIC    answers a record whose magic is wrong
#include "frame/effect_record.h"

#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(FIXTURE_NO_ENTRY)

FIXTURE_EXPORT int fixtureWithoutEntry() { return 0; }

#elif defined(FIXTURE_NULL)

FIXTURE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }

#elif defined(FIXTURE_BAD_MAGIC)

FIXTURE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    static AEffect record{};
    record.magic = fourCharCode('N', 'o', 'p', 'e');
    return &record;
}

#endif
