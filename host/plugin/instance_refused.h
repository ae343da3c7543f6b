// A plug-in that declines to make an instance for the host's settings (a
// sample rate or block length it does not take): a limit it states, not a
// fault it hides, so callers can tell it from one.
#pragma once

#include "host/text/failure.h"

namespace vsthost {

class InstanceRefused : public Failure {
public:
    explicit InstanceRefused(const std::string& message) : Failure(FailureKind::plugin, message) {}
};

}  // namespace vsthost
