// What went wrong, and whose fault it was: the command line, the input file,
// the output file or the plug-in (a plug-in that crashed apart), or a signal
// that stopped the work. The kind picks the exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace vsthost {

enum class FailureKind { usage, input, output, plugin, crash, interrupted };

class Failure : public std::runtime_error {
public:
    Failure(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    // Interrupted by a signal, whose number the exit code carries.
    Failure(int signal, const std::string& message)
        : std::runtime_error(message), kind_(FailureKind::interrupted), signal_(signal) {}
    FailureKind kind() const { return kind_; }
    int signal() const { return signal_; }

private:
    FailureKind kind_;
    int signal_ = 0;
};

}  // namespace vsthost
