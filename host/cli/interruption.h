// While a render runs, a signal that would end the process stops it at the
// next block instead: the temporary file is removed and the command ends with
// 128 and the signal's number, saying so, as if the signal had ended it.
#pragma once

#include <array>
#include <atomic>
#include <csignal>
#include <string>

#include "host/text/failure.h"

namespace vsthost {

class Interruption {
public:
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
};

}  // namespace vsthost
