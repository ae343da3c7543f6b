// Keeps a description of the call into a plug-in that is in progress, and of
// the last one made, in fixed buffers: a crash handler can read them without
// allocating, and a plug-in that throws is named by the call it threw from.
#pragma once

#include <cstddef>

#include "plugin_instance.h"

namespace vsthost {

class CallRecorder : public CallWatcher {
public:
    static constexpr std::size_t kLength = 160;

    void calling(const PluginCall& call) override;
    void returned() override;

    // "processReplacing(512 frames)", "dispatcher(effClose)"; empty when none.
    const char* inProgress() const { return current; }
    const char* last() const { return previous; }
    // The call an exception came out of; empty when none did.
    const char* threw() const { return thrown; }

private:
    char current[kLength] = {};
    char previous[kLength] = {};
    char thrown[kLength] = {};
    int uncaught = 0;
};

}  // namespace vsthost
