// From the start of a command that renders, a signal that would end the
// process is noted instead and the render stops at its next block: the
// temporary file is removed and the command ends with 128 and the signal's
// number, saying so, as if the signal had ended it. A failure the signal
// caused on its way (a write into a closed pipe, a call it cut short) is
// reported as the signal. A second signal, for a plug-in that never gets to
// the next block, ends the process at once, the temporary file removed.
#pragma once

#include <array>
#include <atomic>
#include <csignal>
#include <string>

#include "host/text/failure.h"

namespace vsthost {

class Interruption {
public:
    // One within another shares its handlers and what they noted.
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // Set once a signal arrived; the render loop polls it once per block.
    const std::atomic<bool>& requested() const;
    // "interrupted by SIGINT" + outcome, with the signal for the exit code.
    Failure failure(const std::string& outcome) const;

private:
    static constexpr std::array<int, 8> kSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM};
    std::array<struct sigaction, kSignals.size()> previous{};
    bool outermost = false;
};

}  // namespace vsthost
