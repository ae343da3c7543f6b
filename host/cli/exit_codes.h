// The command's exit codes, one per kind of failure, as --help lists them.
#pragma once

#include "host/text/failure.h"

namespace vsthost {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitUnexpected = 1,
    kExitUsage = 2,
    kExitInput = 3,
    kExitOutput = 4,
    kExitPlugin = 5,
    kExitCrash = 6,
    kExitValidationFailed = 7,
    kExitValidationCutShort = 8,  // the overall time limit ran out before every check ran
    kExitInterrupted = 130,       // SIGINT; other signals give 128 and their number, as shells show them
};

constexpr int exitCodeFor(FailureKind kind) {
    switch (kind) {
        case FailureKind::usage: return kExitUsage;
        case FailureKind::input: return kExitInput;
        case FailureKind::output: return kExitOutput;
        case FailureKind::plugin: return kExitPlugin;
        case FailureKind::crash: return kExitCrash;
        case FailureKind::interrupted: return kExitInterrupted;
    }
    return kExitUnexpected;
}

inline int exitCodeFor(const Failure& failure) {
    return failure.kind() == FailureKind::interrupted && failure.signal() != 0 ? 128 + failure.signal()
                                                                               : exitCodeFor(failure.kind());
}

}  // namespace vsthost
