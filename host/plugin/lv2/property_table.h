// The numeric properties an LV2 plug-in lists as patch:writable: parameters
// no control port carries, set by a patch:Set message into its control atom
// input. Each is described as a control port would be, so that one scale
// and one display serve both. Read once when the plug-in is opened.
#pragma once

#include <string>
#include <vector>

#include "port_table.h"

namespace vsthost {

class Lv2World;

// The atom type a property's value is sent as: its rdfs:range.
enum class PropertyRange { float32, float64, int32, int64, boolean };

struct PropertyInfo {
    std::string uri;
    PropertyRange range = PropertyRange::float32;
    // Symbol, name, range, default, unit, steps and labelled values; the
    // index means nothing.
    PortInfo control;
};

// "float", "double", "int", "long", "bool".
const char* rangeName(PropertyRange range);
// `value` as an atom of `range` holds it: rounded to a float or a whole
// number, within an Int's or a Long's limits, a Bool 0 or 1.
double representable(PropertyRange range, double value);

// Those of a numeric range with a minimum, a maximum and a default (a Bool
// needs only the default); the others cannot be set as a number and are
// left out.
std::vector<PropertyInfo> readProperties(const Lv2World& world);

}  // namespace vsthost
