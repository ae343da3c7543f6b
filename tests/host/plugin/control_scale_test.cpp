// An LV2 control port on the normalised scale: continuous ports run through
// their whole range and back without drifting, logarithmic ones
// logarithmically; stepped ports only ever land on their steps; labels show
// where the port gives them; and a value is taken as it is only where the
// port could hold it.
#include "host/plugin/lv2/control_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using vsthost::ControlScale;
using vsthost::PortInfo;
using vsthost::ScalePoint;

PortInfo port(float minimum, float maximum, bool logarithmic = false) {
    PortInfo p;
    p.minimum = minimum;
    p.maximum = maximum;
    p.logarithmic = logarithmic;
    return p;
}

PortInfo stepped(PortInfo p, bool integer, bool toggled, bool enumeration, std::vector<ScalePoint> points = {}) {
    p.integer = integer;
    p.toggled = toggled;
    p.enumeration = enumeration;
    p.scalePoints = std::move(points);
    return p;
}

struct Continuous {
    const char* name;
    PortInfo port;
    float middle;  // the value at 0.5
};

TEST(ControlScale, ContinuousPortsRunThroughTheirRangeAndBack) {
    const std::vector<Continuous> cases{
        {"logarithmic", port(20.0f, 20000.0f, true), 632.455532f},
        {"linear", port(0.0f, 100.0f), 50.0f},
        {"logarithmic from zero runs linearly", port(0.0f, 10.0f, true), 5.0f},
        {"negative", port(-60.0f, 12.0f), -24.0f},
    };
    for (const Continuous& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlScale scale(c.port);
        EXPECT_EQ(scale.value(0.0f), c.port.minimum);
        EXPECT_EQ(scale.value(1.0f), c.port.maximum);
        EXPECT_NEAR(scale.value(0.5f), c.middle, 1e-4f * std::fabs(c.middle) + 1e-5f);
        EXPECT_EQ(scale.value(-1.0f), c.port.minimum);
        EXPECT_EQ(scale.value(2.0f), c.port.maximum);
        float before = scale.value(0.0f);
        for (int i = 0; i <= 100; ++i) {
            const float x = static_cast<float>(i) / 100.0f;
            const float v = scale.value(x);
            EXPECT_GE(v, before);
            before = v;
            EXPECT_NEAR(scale.normalised(v), x, 1e-6f);
        }
        EXPECT_FALSE(scale.stepped());
    }
}

struct Steps {
    const char* name;
    PortInfo port;
    std::vector<float> steps;
};

TEST(ControlScale, SteppedPortsLandOnlyOnTheirSteps) {
    const std::vector<Steps> cases{
        {"integer", stepped(port(-2.5f, 2.0f), true, false, false), {-2, -1, 0, 1, 2}},
        {"toggled", stepped(port(0.0f, 1.0f), false, true, false), {0, 1}},
        {"enumeration with gaps",
         stepped(port(0.0f, 10.0f), false, false, true, {{0, "Low"}, {5, "High"}, {2, "Mid"}, {12, "Out of range"}}),
         {0, 2, 5}},
    };
    for (const Steps& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlScale scale(c.port);
        EXPECT_TRUE(scale.stepped());
        std::vector<float> reached;
        for (int i = 0; i <= 1000; ++i) {
            const float v = scale.value(static_cast<float>(i) / 1000.0f);
            if (reached.empty() || reached.back() != v) reached.push_back(v);
            EXPECT_EQ(scale.value(scale.normalised(v)), v);
        }
        EXPECT_EQ(reached, c.steps);
    }
}

struct Shown {
    const char* name;
    PortInfo port;
    float value;
    const char* display;
};

TEST(ControlScale, ShowsLabelsWhereGivenElseSixDigits) {
    const PortInfo period = stepped(port(0.0f, 11.0f), true, false, true, {{6, "1/12"}, {7, "1/16"}});
    const std::vector<Shown> cases{
        {"label", period, 7.0f, "1/16"},
        {"integer without label", period, 8.0f, "8"},
        {"toggle on", stepped(port(0.0f, 1.0f), false, true, false), 1.0f, "On"},
        {"toggle off", stepped(port(0.0f, 1.0f), false, true, false), 0.0f, "Off"},
        {"whole number", port(20.0f, 20000.0f, true), 20000.0f, "20000"},
        {"six digits", port(20.0f, 20000.0f, true), 632.455532f, "632.456"},
        {"float rounding hidden", port(20.0f, 20000.0f, true), 499.99997f, "500"},
        {"small", port(0.0f, 1.0f), 0.0012345678f, "0.00123457"},
        {"negative", port(-60.0f, 12.0f), -6.5f, "-6.5"},
        {"negative zero", port(-60.0f, 12.0f), -0.0f, "0"},
    };
    for (const Shown& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ControlScale(c.port).display(c.value), c.display);
    }
}

struct Taken {
    const char* name;
    PortInfo port;
    double value;
    bool taken;
};

TEST(ControlScale, TakesAValueAsItIsOnlyWhereThePortCouldHoldIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PortInfo freq = port(20.0f, 20000.0f, true);
    const PortInfo modes = stepped(port(0.0f, 10.0f), false, false, true, {{0, "Low"}, {2, "Mid"}, {5, "High"}});
    const PortInfo notes = stepped(port(0.0f, 11.0f), true, false, true, {{7, "1/16"}});
    const std::vector<Taken> cases{
        {"within the range", freq, 1234.5, true},
        {"at its ends", freq, 20000.0, true},
        {"past its end", freq, 20000.5, false},
        {"below it", freq, 19.9, false},
        {"not a number", freq, nan, false},
        {"a whole number of an integer port", stepped(port(0, 11), true, false, false), 7.0, true},
        {"a fraction of an integer port", stepped(port(0, 11), true, false, false), 7.5, false},
        {"a toggle's end", stepped(port(0, 1), false, true, false), 1.0, true},
        {"between a toggle's ends", stepped(port(0, 1), false, true, false), 0.5, false},
        {"an enumerated value", modes, 2.0, true},
        {"between enumerated values", modes, 3.0, false},
        {"an enumeration whose labels are other numbers", notes, 7.0, false},
    };
    for (const Taken& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ControlScale(c.port).takes(c.value), c.taken);
    }
}

}  // namespace
