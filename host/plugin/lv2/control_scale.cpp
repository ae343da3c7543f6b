#include "control_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/plugin/display_value.h"
#include "host/text/decimal_number.h"

namespace vsthost {

namespace {

constexpr int kSignificantDigits = 6;
constexpr int kMostDecimals = 8;

}  // namespace

ControlScale::ControlScale(const PortInfo& port)
    : minimum_(port.minimum),
      maximum_(port.maximum),
      logarithmic_(port.logarithmic && port.minimum > 0.0f && port.maximum > port.minimum),
      integer_(port.integer),
      toggled_(port.toggled),
      labels_(port.scalePoints) {
    if (port.enumeration) {
        for (const ScalePoint& p : port.scalePoints) {
            if (p.value < minimum_ || p.value > maximum_) continue;
            steps_.push_back(p.value);
            const std::optional<DisplayValue> shown = parseDisplayValue(p.label);
            if (shown && !shown->shows(p.value)) labelsAreOtherNumbers_ = true;
        }
        std::sort(steps_.begin(), steps_.end());
        steps_.erase(std::unique(steps_.begin(), steps_.end()), steps_.end());
    }
}

float ControlScale::normalised(float value) const {
    double x = 0.0;
    if (!steps_.empty()) {
        if (steps_.size() == 1) return 0.0f;
        const auto nearest = std::min_element(steps_.begin(), steps_.end(), [value](float a, float b) {
            return std::fabs(a - value) < std::fabs(b - value);
        });
        x = static_cast<double>(nearest - steps_.begin()) / static_cast<double>(steps_.size() - 1);
    } else if (toggled_) {
        x = value > minimum_ + (maximum_ - minimum_) / 2.0f ? 1.0 : 0.0;
    } else if (maximum_ > minimum_) {
        x = logarithmic_
                ? std::log(static_cast<double>(value) / minimum_) / std::log(static_cast<double>(maximum_) / minimum_)
                : (static_cast<double>(value) - minimum_) / (static_cast<double>(maximum_) - minimum_);
    }
    return std::clamp(static_cast<float>(x), 0.0f, 1.0f);
}

float ControlScale::value(float normalised) const {
    const double x = std::clamp(static_cast<double>(normalised), 0.0, 1.0);
    if (!steps_.empty())
        return steps_[static_cast<std::size_t>(std::lround(x * static_cast<double>(steps_.size() - 1)))];
    if (toggled_) return x >= 0.5 ? maximum_ : minimum_;
    const double v = logarithmic_ ? minimum_ * std::pow(static_cast<double>(maximum_) / minimum_, x)
                                  : minimum_ + x * (static_cast<double>(maximum_) - minimum_);
    if (!integer_) return std::clamp(static_cast<float>(v), minimum_, maximum_);
    // The whole numbers within the range.
    return static_cast<float>(
        std::clamp(std::round(v), std::ceil(static_cast<double>(minimum_)), std::floor(static_cast<double>(maximum_))));
}

std::string ControlScale::display(float value) const {
    for (const ScalePoint& p : labels_)
        if (p.value == value && !p.label.empty()) return p.label;
    if (toggled_) return value > minimum_ + (maximum_ - minimum_) / 2.0f ? "On" : "Off";
    if (!std::isfinite(value)) return numberText(value);
    char text[64];
    if (integer_) {
        std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
        return text;
    }
    const double magnitude = std::fabs(static_cast<double>(value));
    const int exponent = magnitude > 0.0 ? static_cast<int>(std::floor(std::log10(magnitude))) : 0;
    const int decimals = std::clamp(kSignificantDigits - 1 - exponent, 0, kMostDecimals);
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
    std::string shown = withoutTrailingZeros(text);
    return shown == "-0" ? "0" : shown;
}

bool ControlScale::takes(double value) const {
    if (!std::isfinite(value) || value < minimum_ || value > maximum_) return false;
    if (!steps_.empty())
        return !labelsAreOtherNumbers_ && std::find(steps_.begin(), steps_.end(), value) != steps_.end();
    if (toggled_) return value == minimum_ || value == maximum_;
    if (integer_) return value == std::round(value);
    return true;
}

}  // namespace vsthost
