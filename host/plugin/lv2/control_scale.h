// A control port on the normalised 0 to 1 scale hosts automate on, and as
// its user reads it. The scale runs linearly over the port's range, or
// logarithmically for a logarithmic port with a range above zero; integer,
// toggled and enumerated ports step. Values show as their label where the
// port labels them, else as a number with six significant digits.
#pragma once

#include <string>
#include <vector>

#include "port_table.h"

namespace vsthost {

class ControlScale {
public:
    explicit ControlScale(const PortInfo& port);

    float normalised(float value) const;
    // The port's value at a normalised value (clamped to 0 to 1), on a step
    // where it steps.
    float value(float normalised) const;
    std::string display(float value) const;
    // Whether the port takes `value` as it is: within its range, on a step
    // where it steps. An enumeration whose labels read as other numbers
    // ("1/16" at 7) takes its values only through the labels.
    bool takes(double value) const;
    bool stepped() const { return !steps_.empty() || toggled_ || integer_; }

private:
    float minimum_;
    float maximum_;
    bool logarithmic_;
    bool integer_;
    bool toggled_;
    bool labelsAreOtherNumbers_ = false;
    std::vector<float> steps_;  // an enumeration's values, rising
    std::vector<ScalePoint> labels_;
};

}  // namespace vsthost
