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
    kExitValidationFailed = 6,
    kExitInterrupted = 130,
};

constexpr int exitCodeFor(FailureKind kind) {
    switch (kind) {
        case FailureKind::usage: return kExitUsage;
        case FailureKind::input: return kExitInput;
        case FailureKind::output: return kExitOutput;
        case FailureKind::plugin: return kExitPlugin;
        case FailureKind::interrupted: return kExitInterrupted;
    }
    return kExitUnexpected;
}

}  // namespace vsthost
