#include "call_recorder.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "frame/record_names.h"

namespace vsthost {

void CallRecorder::calling(const PluginCall& call) {
    switch (call.kind) {
        case PluginCall::Kind::entry: std::snprintf(current, kLength, "the entry point VSTPluginMain"); break;
        case PluginCall::Kind::dispatch:
            std::snprintf(current, kLength, "dispatcher(%s, index %d, value %ld)",
                          effectOpcodeName(call.opcode).c_str(), call.index, static_cast<long>(call.value));
            break;
        case PluginCall::Kind::setParameter:
            std::snprintf(current, kLength, "setParameter(%d, %g)", call.index, static_cast<double>(call.opt));
            break;
        case PluginCall::Kind::getParameter: std::snprintf(current, kLength, "getParameter(%d)", call.index); break;
        case PluginCall::Kind::process: std::snprintf(current, kLength, "process(%d frames)", call.frames); break;
        case PluginCall::Kind::processReplacing:
            std::snprintf(current, kLength, "processReplacing(%d frames)", call.frames);
            break;
    }
    uncaught = std::uncaught_exceptions();
}

void CallRecorder::returned() {
    // Unwinding through the call: the plug-in threw.
    if (std::uncaught_exceptions() > uncaught && thrown[0] == '\0') std::memcpy(thrown, current, kLength);
    std::memcpy(previous, current, kLength);
    current[0] = '\0';
}

}  // namespace vsthost
