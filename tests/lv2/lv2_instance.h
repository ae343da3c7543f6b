// The LV2 plug-in as a host drives it: the bundle read through lilv, one
// instance given the URID map, its ports connected to buffers of the test,
// and time:Position objects forged into its transport port.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/plugin_instance.h"

// One time:Position object at a frame of the run, with the number types
// time.ttl gives each property.
struct TimeAtom {
    std::int64_t frame = 0;
    std::optional<std::int64_t> bar{};
    std::optional<float> barBeat{};
    std::optional<double> beat{};
    std::optional<std::int32_t> beatUnit{};
    std::optional<float> beatsPerBar{};
    std::optional<float> beatsPerMinute{};
    std::optional<float> speed{};
};

// A preset of the bundle as a host reads it: its label and the values it
// gives the ports, by symbol.
struct Lv2Preset {
    std::string uri;
    std::string label;
    std::map<std::string, float> values;
};

class Lv2Instance {
public:
    // The ports' values as described in the bundle.
    enum Range { kMinimum, kMaximum, kDefault };
    static std::array<float, 5> controlRange(Range which);
    static std::vector<Lv2Preset> presets();
    static const char* const controlSymbols[5];

    explicit Lv2Instance(double sampleRate, bool giveMap = true);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    // Forges `events` into the transport port, then runs `frames` of `in`
    // from `first` into `out`.
    void run(StereoBuffer& in, StereoBuffer& out, std::size_t first, std::uint32_t frames,
             const std::vector<TimeAtom>& events = {});
    void activate() { lilv_instance_activate(instance); }

    std::array<float, 5> controls = controlRange(kDefault);  // period, freq1, freq2, q, mix

private:
    std::vector<std::string> uris;
    LV2_URID_Map map{this, mapUri};
    LV2_Atom_Forge forge{};
    alignas(8) std::array<std::uint8_t, 4096> transport{};
    LilvInstance* instance = nullptr;
    std::array<std::uint32_t, 4> audioPorts{};  // in left, in right, out left, out right

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
    LV2_URID id(const char* uri) { return mapUri(this, uri); }
};
