#include "call_recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "frame/record_names.h"

namespace vsthost {

namespace {

// Appends to `text`, which holds `used` of its kLength characters. Every
// caller passes a literal format, which the compiler cannot see through the
// template.
template <typename... Values>
int append(char* text, int used, const char* format, Values... values) {
    const int room = static_cast<int>(CallRecorder::kLength) - used;
    if (room <= 1) return used;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(text + used, static_cast<std::size_t>(room), format, values...);
#pragma GCC diagnostic pop
    return n < 0 ? used : std::min(used + n, static_cast<int>(CallRecorder::kLength) - 1);
}

void nameDispatch(char* text, const PluginCall& call, CallRecorder::Arguments arguments) {
    int n = append(text, 0, "dispatcher(%s", effectOpcodeName(call.opcode).c_str());
    const bool always = arguments == CallRecorder::Arguments::always;
    if (always || call.index != 0) n = append(text, n, ", index %d", call.index);
    if (always || call.value != 0) n = append(text, n, ", value %ld", static_cast<long>(call.value));
    if (!always && call.ptr != nullptr) n = append(text, n, ", buffer");
    if (!always && call.opt != 0.0f) n = append(text, n, ", opt %g", static_cast<double>(call.opt));
    append(text, n, ")");
}

void nameProcess(char* text, const char* entry, const PluginCall& call) {
    int n = append(text, 0, "%s(%d frame%s)", entry, call.frames, call.frames == 1 ? "" : "s");
    if (call.sampleRate > 0.0) append(text, n, " at %.10g Hz", call.sampleRate);
}

}  // namespace

void CallRecorder::calling(const PluginCall& call) {
    using Kind = PluginCall::Kind;
    current[0] = '\0';
    switch (call.kind) {
        case Kind::entry: append(current, 0, "%s", call.entry); break;
        case Kind::run: nameProcess(current, call.entry, call); break;
        case Kind::dispatch: nameDispatch(current, call, arguments); break;
        case Kind::setParameter:
            append(current, 0, "setParameter(%d, %g)", call.index, static_cast<double>(call.opt));
            break;
        case Kind::getParameter: append(current, 0, "getParameter(%d)", call.index); break;
        case Kind::process: nameProcess(current, "process", call); break;
        case Kind::processReplacing: nameProcess(current, "processReplacing", call); break;
        case Kind::processDoubleReplacing: nameProcess(current, "processDoubleReplacing", call); break;
    }
    uncaught = std::uncaught_exceptions();
}

bool CallRecorder::unwinding() const { return std::uncaught_exceptions() > uncaught; }

void CallRecorder::returned() {
    if (unwinding() && thrown[0] == '\0') std::memcpy(thrown, current, kLength);
    std::memcpy(previous, current, kLength);
    current[0] = '\0';
}

}  // namespace vsthost
