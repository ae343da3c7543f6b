// What went wrong, and whose fault it was: the command line, the input file,
// the output file or the plug-in. The kind picks the exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace vsthost {

enum class FailureKind { usage, input, output, plugin, interrupted };

class Failure : public std::runtime_error {
public:
    Failure(FailureKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    FailureKind kind() const { return kind_; }

private:
    FailureKind kind_;
};

}  // namespace vsthost
