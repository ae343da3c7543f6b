// An LV2 plug-in's ports as its data describes them: what each carries, which
// way, and for a control port its range, default, unit, steps and labelled
// values. Read once when the plug-in is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// As lilv declares it, so that what includes this needs no lilv.
typedef struct LilvNodeImpl LilvNode;

namespace vsthost {

class Lv2World;

enum class PortType { audio, control, cv, atom, other };

struct ScalePoint {
    float value;
    std::string label;
};

struct PortInfo {
    std::uint32_t index = 0;
    std::string symbol;
    std::string name;
    PortType type = PortType::other;
    std::string typeUri;  // the port's class, for a type this host cannot feed
    bool input = false;
    bool optional = false;          // lv2:connectionOptional
    bool sidechain = false;         // lv2:isSideChain
    bool reportsLatency = false;    // the output that reports the delay
    bool supportsPosition = false;  // an atom port taking time:Position
    bool supportsPatch = false;     // an atom port taking patch:Message
    std::string designation;        // what the port stands for, as a URI, or ""

    // Control ports.
    float minimum = 0.0f;
    float maximum = 1.0f;
    float defaultValue = 0.0f;
    bool integer = false;
    bool toggled = false;
    bool enumeration = false;
    bool logarithmic = false;
    // lv2:sampleRate: the bounds are these multiples of the sample rate, so
    // minimum and maximum hold for the rate last given to scaleBounds().
    bool boundsPerRate = false;
    float minimumPerRate = 0.0f;
    float maximumPerRate = 1.0f;
    std::string unit;  // its symbol: "Hz", "%"; "" for none
    std::vector<ScalePoint> scalePoints;

    // Atom ports: the smallest buffer it asks for, in bytes; 0 for none.
    std::uint32_t minimumSize = 0;
};

// Read at 48 kHz; a port whose bounds follow the rate is set to another by
// scaleBounds().
std::vector<PortInfo> readPorts(const Lv2World& world);

// The bounds of a port given as multiples of the sample rate, at `rate`.
void scaleBounds(PortInfo& port, double rate);

// The symbol a units:unit value stands for ("Hz"), or "" for none.
std::string unitSymbol(const Lv2World& world, const LilvNode* unit);

}  // namespace vsthost
