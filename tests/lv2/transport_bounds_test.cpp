// The transport port read only as far as the sizes a host gives reach: an
// event, an object or a property that runs past the size around it is left
// unread, whatever lies in memory after it. Each case puts a complete
// position (a jump to beat 0.37) just past a stated size; the plug-in must
// sound as though nothing were there.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "lv2/plugin_descriptor.h"
#include "lv2/port_layout.h"

namespace {

constexpr std::uint32_t kFrames = 2048;

LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = *static_cast<std::vector<std::string>*>(handle);
    for (std::size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

// A sequence written word by word into ample memory: the unit, one event at
// frame 0 holding a time:Position whose one property puts the song at beat 0.37.
struct Transport {
    alignas(8) std::array<std::uint8_t, 256> bytes{};
    LV2_Atom_Sequence& sequence() { return *reinterpret_cast<LV2_Atom_Sequence*>(bytes.data()); }

    explicit Transport(LV2_URID_Map& map) {
        auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
        LV2_Atom_Sequence& s = sequence();
        s.atom.type = id(LV2_ATOM__Sequence);
        auto* event = reinterpret_cast<LV2_Atom_Event*>(&s + 1);
        event->time.frames = 0;
        event->body.type = id(LV2_ATOM__Object);
        auto* object = reinterpret_cast<LV2_Atom_Object*>(&event->body);
        object->body.otype = id(LV2_TIME__Position);
        auto* property = reinterpret_cast<LV2_Atom_Property_Body*>(&object->body + 1);
        property->key = id(LV2_TIME__beat);
        property->value = {sizeof(double), id(LV2_ATOM__Double)};
        const double beat = 0.37;
        std::memcpy(property + 1, &beat, sizeof beat);
        const auto objectSize = static_cast<std::uint32_t>(sizeof(LV2_Atom_Object_Body) + sizeof(*property) + 8);
        event->body.size = objectSize;
        s.atom.size = static_cast<std::uint32_t>(sizeof(LV2_Atom_Sequence_Body) + sizeof(*event) + objectSize);
    }
    LV2_Atom_Event& event() { return *reinterpret_cast<LV2_Atom_Event*>(&sequence() + 1); }
};

// Both channels of a run of the plug-in with `transport` on its port.
std::vector<float> render(Transport& transport, std::vector<std::string>& uris) {
    LV2_URID_Map map{&uris, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* const features[] = {&mapFeature, nullptr};
    const LV2_Descriptor& d = wobbleDescriptor();
    LV2_Handle plugin = d.instantiate(&d, 48000.0, "", features);
    std::array<float, 5> controls{2.0f, 200.0f, 5000.0f, 4.0f, 100.0f};
    std::vector<float> in(kFrames), out(2 * kFrames);
    for (std::uint32_t i = 0; i < kFrames; ++i) in[i] = std::sin(0.3f * static_cast<float>(i));
    for (std::uint32_t port = kPeriodPort; port <= kMixPort; ++port) d.connect_port(plugin, port, &controls[port]);
    d.connect_port(plugin, kInLeftPort, in.data());
    d.connect_port(plugin, kInRightPort, in.data());
    d.connect_port(plugin, kOutLeftPort, out.data());
    d.connect_port(plugin, kOutRightPort, out.data() + kFrames);
    d.connect_port(plugin, kTransportPort, &transport.sequence());
    d.activate(plugin);
    d.run(plugin, kFrames);
    d.cleanup(plugin);
    return out;
}

}  // namespace

TEST(Lv2Transport, ReadsNothingPastTheSizesItIsGiven) {
    std::vector<std::string> uris;
    LV2_URID_Map map{&uris, mapUri};
    Transport whole(map);
    Transport empty(map);
    empty.sequence().atom.size = sizeof(LV2_Atom_Sequence_Body);
    const std::vector<float> jumped = render(whole, uris);
    const std::vector<float> unmoved = render(empty, uris);
    ASSERT_NE(jumped, unmoved) << "the position must be heard for these cases to tell";

    struct Case {
        const char* what;
        void (*cut)(Transport&);
    };
    const Case cases[] = {
        {"a sequence that ends within the event's header",
         [](Transport& t) { t.sequence().atom.size = sizeof(LV2_Atom_Sequence_Body) + 8; }},
        {"an event whose body runs past the sequence", [](Transport& t) { t.sequence().atom.size -= 8; }},
        {"an object that ends within its property's header",
         [](Transport& t) {
             t.event().body.size = sizeof(LV2_Atom_Object_Body) + 8;
             t.sequence().atom.size = sizeof(LV2_Atom_Sequence_Body) + sizeof(LV2_Atom_Event) + t.event().body.size;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transport cut(map);
        c.cut(cut);
        EXPECT_EQ(render(cut, uris), unmoved);
    }
}
