// One call into a plug-in of any format, and a watcher that hears of each
// before it is made and after it returns, e.g. to name the call in progress
// when a plug-in crashes.
#pragma once

#include <cstdint>

namespace vsthost {

// One call into a plug-in, as a watcher hears of it before it is made.
struct PluginCall {
    enum class Kind {
        entry,  // a call by its name alone
        run,    // a call by its name that runs `frames`
        dispatch,
        setParameter,
        getParameter,
        process,
        processReplacing,
        processDoubleReplacing,
    };
    Kind kind;
    std::int32_t opcode = 0;  // dispatch
    std::int32_t index = 0;   // dispatch, setParameter, getParameter
    std::intptr_t value = 0;  // dispatch
    const void* ptr = nullptr;
    float opt = 0.0f;         // dispatch; the value of setParameter
    std::int32_t frames = 0;  // run and the process calls
    double sampleRate = 0.0;  // run and the process calls: the rate last set, 0 if none
    const char* entry = "";   // entry and run: the name of the function called
};

class CallWatcher {
public:
    virtual ~CallWatcher() = default;
    virtual void calling(const PluginCall& call) = 0;
    virtual void returned() = 0;
};

}  // namespace vsthost
