// Keeps a description of the call into a plug-in that is in progress, and of
// the last one made, in fixed buffers: a crash handler can read them without
// allocating, and a plug-in that throws is named by the call it threw from.
// The one place that names calls and tells a throw, for every host part.
#pragma once

#include <cstddef>

#include "call_watcher.h"

namespace vsthost {

class CallRecorder : public CallWatcher {
public:
    static constexpr std::size_t kLength = 240;

    // How a dispatcher call names its index and value: always, or only
    // where they are not 0, so that the common calls read short.
    enum class Arguments { always, whereSet };
    explicit CallRecorder(Arguments arguments = Arguments::always) : arguments(arguments) {}

    void calling(const PluginCall& call) override;
    void returned() override;

    // "processReplacing(512 frames) at 44100 Hz", "dispatcher(effClose,
    // index 0, value 0)"; empty when none.
    const char* inProgress() const { return current; }
    const char* last() const { return previous; }
    // The call an exception came out of; empty when none did.
    const char* threw() const { return thrown; }
    // During returned(): the call in progress is being left by an exception.
    bool unwinding() const;

private:
    Arguments arguments;
    char current[kLength] = {};
    char previous[kLength] = {};
    char thrown[kLength] = {};
    int uncaught = 0;
};

}  // namespace vsthost
