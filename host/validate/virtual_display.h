// An X display for checking editors: a fresh virtual one (Xvfb) of the
// validator's own where Xvfb is installed, so that no editor depends on what
// a long-running server went through before; otherwise the user's DISPLAY.
#pragma once

#include <sys/types.h>

#include <string>

namespace vsthost::validate {

class VirtualDisplay {
public:
    // Starts Xvfb, or takes DISPLAY; name() is empty and problem() says why
    // when neither can be had.
    VirtualDisplay();
    // Ends the Xvfb it started.
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; }
    const std::string& problem() const { return problem_; }

private:
    std::string name_;
    std::string problem_;
    pid_t server = -1;
};

}  // namespace vsthost::validate
