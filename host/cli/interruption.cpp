#include "interruption.h"

#include <cstring>

namespace vsthost {

namespace {

std::atomic<int> received{0};
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void onSignal(int signal) {
    received.store(signal);
    stopRequested.store(true);
}

}  // namespace

Interruption::Interruption() {
    received.store(0);
    stopRequested.store(false);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

Interruption::~Interruption() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
}

const std::atomic<bool>& Interruption::requested() const { return stopRequested; }

Failure Interruption::failure(const std::string& outcome) const {
    const int signal = received.load();
    return Failure(
        signal, std::string(signal == SIGINT ? "interrupted" : "stopped") + " by SIG" + sigabbrev_np(signal) + outcome);
}

}  // namespace vsthost
