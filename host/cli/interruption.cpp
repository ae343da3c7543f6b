#include "interruption.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/audio/audio_file_writer.h"

namespace vsthost {

namespace {

std::atomic<int> received{0};
std::atomic<bool> stopRequested{false};
int depth = 0;
bool clearLine = false;
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void say(const char* text) {
    for (std::size_t left = std::strlen(text); left > 0;) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Ends the process from the handler, where only async-signal-safe calls go.
[[noreturn]] void endAtOnce(int signal) {
    const char* unfinished = AudioFileWriter::unfinishedFile();
    const bool removed = unfinished[0] != '\0' && ::unlink(unfinished) == 0;
    if (clearLine) say("\r\033[K");
    say("dravelkint: stopped at once by a second SIG");
    say(sigabbrev_np(signal));
    say(removed ? "; the unfinished output was removed\n" : "\n");
    ::_exit(128 + signal);
}

extern "C" void onSignal(int signal) {
    // Every further write into a closed pipe raises SIGPIPE again: only a
    // signal sent on purpose asks for more haste.
    if (stopRequested.load() && signal != SIGPIPE) endAtOnce(signal);
    if (received.load() == 0) received.store(signal);
    stopRequested.store(true);
}

}  // namespace

Interruption::Interruption() {
    if (depth++ > 0) return;
    outermost = true;
    received.store(0);
    stopRequested.store(false);
    clearLine = ::isatty(STDERR_FILENO) == 1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    // One signal at a time; none restarts a call it cuts short, so that a
    // render blocked on a FIFO or a pipe gets to its failure and reports the signal.
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

Interruption::~Interruption() {
    --depth;
    if (!outermost) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
}

const std::atomic<bool>& Interruption::requested() const { return stopRequested; }

Failure Interruption::failure(const std::string& outcome) const {
    const int signal = received.load();
    return Failure(
        signal, std::string(signal == SIGINT ? "interrupted" : "stopped") + " by SIG" + sigabbrev_np(signal) + outcome);
}

}  // namespace vsthost
