// While a plug-in is loaded: a crash of the process (a fault, an abort of the
// C library after heap damage) or the plug-in calling exit() removes the
// temporary file, says which call into the plug-in did it, and ends with the
// crash's own exit code instead of leaving a half-made file and a bare signal
// or exit status behind.
#pragma once

#include <array>
#include <csignal>
#include <string>

#include "host/plugin/call_recorder.h"

namespace vsthost {

class CrashHandler {
public:
    // `outcome` ends the message: "; nothing was written to 'out.wav'".
    CrashHandler(const CallRecorder& recorder, const std::string& outcome);
    ~CrashHandler();
    CrashHandler(const CrashHandler&) = delete;
    CrashHandler& operator=(const CrashHandler&) = delete;

    // The temporary file to remove on a crash.
    void removeOnCrash(const std::string& path);
    // Puts back the handlers there were, before the destructor does.
    void disarm();

private:
    static constexpr std::array<int, 6> kSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP};
    std::array<struct sigaction, kSignals.size()> previous{};
    bool armed = true;
};

// For the whole run: std::terminate removes the unfinished output before it
// aborts, and says why when no plug-in is there to blame.
void removeUnfinishedOnTerminate();

}  // namespace vsthost
