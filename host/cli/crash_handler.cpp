#include "crash_handler.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "exit_codes.h"
#include "host/audio/audio_file_writer.h"

namespace vsthost {

namespace {

// What the handler reads: set before it is installed, read only inside it.
constexpr std::size_t kPathLength = 4096;
const CallRecorder* recorder = nullptr;
char temporary[kPathLength];
char outcome[kPathLength + 64];
bool clearLine = false;
// A stack of its own, so that a plug-in that overflows its stack is still reported.
std::vector<char> alternateStack;

const char* signalName(int signal) {
    switch (signal) {
        case SIGSEGV: return "SIGSEGV (segmentation fault)";
        case SIGBUS: return "SIGBUS (bus error)";
        case SIGILL: return "SIGILL (illegal instruction)";
        case SIGFPE: return "SIGFPE (arithmetic exception)";
        case SIGABRT: return "SIGABRT (aborted)";
        case SIGTRAP: return "SIGTRAP (trap)";
        default: return "a signal";
    }
}

void say(const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

// "in effClose", "after its last call, effClose", or while it was loaded.
void sayWhichCall() {
    const char* call = recorder->inProgress();
    const char* last = recorder->last();
    if (call[0] != '\0') {
        say(" in ");
        say(call);
    } else if (last[0] != '\0') {
        // The C library notices heap damage later than the call that did it.
        say(" after its last call, ");
        say(last);
    } else {
        say(" while it was loaded");
    }
}

extern "C" void onCrash(int signal, siginfo_t*, void*) {
    if (temporary[0] != '\0') ::unlink(temporary);
    const char* call = recorder != nullptr ? recorder->inProgress() : "";
    const char* last = recorder != nullptr ? recorder->last() : "";
    if (call[0] == '\0' && last[0] == '\0') {
        // Not the plug-in's doing: this program's own fault keeps its signal.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (clearLine) say("\r\033[K");
    say("dravelkint: the plug-in crashed with ");
    say(signalName(signal));
    sayWhichCall();
    say(outcome);
    say("\n");
    ::_exit(kExitCrash);
}

// exit() while a plug-in is watched is the plug-in's doing (or that of a
// library it uses), since this program ends by returning from main(). It
// would leave the temporary file and no word: both are put right here.
extern "C" void onExit() {
    if (recorder == nullptr) return;
    if (temporary[0] != '\0') ::unlink(temporary);
    if (clearLine) say("\r\033[K");
    say("dravelkint: the plug-in ended the process (exit)");
    sayWhichCall();
    say(outcome);
    say("\n");
    ::_exit(kExitCrash);
}

// An exception nothing catches (thrown in a plug-in's thread, out of a
// destructor, while unwinding) ends in std::terminate without unwinding the
// stack, so the temporary file is removed here. While a plug-in is watched,
// the abort that follows names its last call.
[[noreturn]] void onTerminate() {
    const char* unfinished = AudioFileWriter::unfinishedFile();
    if (unfinished[0] != '\0') ::unlink(unfinished);
    if (recorder == nullptr) {
        std::string what = "of a kind this program does not know";
        if (const std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& error) {
                what = error.what();
            } catch (...) {
            }
        }
        say(("dravelkint: unexpected failure, left uncaught: " + what + "\n").c_str());
    }
    std::abort();
}

}  // namespace

void removeUnfinishedOnTerminate() { std::set_terminate(onTerminate); }

CrashHandler::CrashHandler(const CallRecorder& calls, const std::string& ending) {
    recorder = &calls;
    temporary[0] = '\0';
    std::strncpy(outcome, ending.c_str(), sizeof outcome - 1);
    outcome[sizeof outcome - 1] = '\0';
    clearLine = ::isatty(STDERR_FILENO) == 1;
    static const bool exitWatched = std::atexit(onExit) == 0;
    (void)exitWatched;
    if (alternateStack.empty()) {
        alternateStack.resize(1 << 16);
        stack_t stack{};
        stack.ss_sp = alternateStack.data();
        stack.ss_size = alternateStack.size();
        ::sigaltstack(&stack, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

CrashHandler::~CrashHandler() { disarm(); }

void CrashHandler::disarm() {
    if (!armed) return;
    armed = false;
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
    temporary[0] = '\0';
    recorder = nullptr;
}

void CrashHandler::removeOnCrash(const std::string& path) {
    std::strncpy(temporary, path.c_str(), kPathLength - 1);
    temporary[kPathLength - 1] = '\0';
}

}  // namespace vsthost
