// The LV2 plug-in's transport port fed any atom sequence: the input is a
// block length, the five settings and the sequence's size field, then the
// sequence's body (its unit, then events), copied into a buffer that ends
// where the input does so that a read past it is a finding. The size field
// may lie, but never past the buffer: the host vouches for the outer size
// only. The plug-in runs blocks on finite audio and must answer finite
// audio, never read outside the sequence or crash.
#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/atom/atom.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lv2/plugin_descriptor.h"
#include "lv2/port_layout.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Mapped first and in this order, so the seeds can name them by number:
// sequence 1, object 2, blank 3, position 4, int 5, long 6, float 7,
// double 8, then bar 9, barBeat 10, beat 11, beatUnit 12, beatsPerBar 13,
// beatsPerMinute 14 and speed 15.
const char* const kKnown[] = {LV2_ATOM__Sequence,    LV2_ATOM__Object,         LV2_ATOM__Blank, LV2_TIME__Position,
                              LV2_ATOM__Int,         LV2_ATOM__Long,           LV2_ATOM__Float, LV2_ATOM__Double,
                              LV2_TIME__bar,         LV2_TIME__barBeat,        LV2_TIME__beat,  LV2_TIME__beatUnit,
                              LV2_TIME__beatsPerBar, LV2_TIME__beatsPerMinute, LV2_TIME__speed};

std::vector<std::string>& mapped() {
    static std::vector<std::string> uris(std::begin(kKnown), std::end(kKnown));
    return uris;
}

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    std::vector<std::string>& uris = mapped();
    for (std::size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

constexpr std::uint32_t kMaxFrames = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint32_t frames = in.ConsumeIntegralInRange<std::uint32_t>(0, kMaxFrames);
    float settings[5];
    for (float& setting : settings) setting = in.ConsumeFloatingPoint<float>();
    const std::uint32_t sizeField = in.ConsumeIntegral<std::uint32_t>();
    const bool sequenceType = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    const std::vector<std::uint8_t> body = in.ConsumeRemainingBytes<std::uint8_t>();

    // The sequence's header, then exactly the body: nothing after it.
    const std::size_t total = sizeof(LV2_Atom) + body.size();
    const std::unique_ptr<std::uint64_t[]> storage(new std::uint64_t[(total + 7) / 8]);
    auto* bytes = reinterpret_cast<std::uint8_t*>(storage.get());
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(bytes);
    if (!body.empty()) std::memcpy(bytes + sizeof(LV2_Atom), body.data(), body.size());
    sequence->atom.size = static_cast<std::uint32_t>(sizeField % (body.size() + 1));
    sequence->atom.type = sequenceType ? mapUri(nullptr, LV2_ATOM__Sequence) : sizeField;
    // The buffer may be shorter than a sequence's body; then only the size
    // field says it holds nothing, and a reader must believe it.
    if (body.size() < sizeof(LV2_Atom_Sequence_Body)) sequence->atom.size = 0;

    static LV2_URID_Map map{nullptr, mapUri};
    static const LV2_Feature mapFeature{LV2_URID__map, &map};
    static const LV2_Feature* const features[] = {&mapFeature, nullptr};
    const LV2_Descriptor& descriptor = wobbleDescriptor();
    LV2_Handle plugin = descriptor.instantiate(&descriptor, 48000.0, "", features);
    require(plugin != nullptr, "no instance");

    static float input[2][kMaxFrames];
    static float output[2][kMaxFrames];
    for (std::uint32_t i = 0; i < kMaxFrames; ++i) {
        input[0][i] = std::sin(static_cast<float>(i) * 0.05f);
        input[1][i] = -input[0][i];
    }
    for (std::uint32_t port = kPeriodPort; port <= kMixPort; ++port)
        descriptor.connect_port(plugin, port, &settings[port]);
    descriptor.connect_port(plugin, kInLeftPort, input[0]);
    descriptor.connect_port(plugin, kInRightPort, input[1]);
    descriptor.connect_port(plugin, kOutLeftPort, output[0]);
    descriptor.connect_port(plugin, kOutRightPort, output[1]);
    // A buffer too short for the sequence's header goes unconnected, as a
    // host would connect no port at all.
    descriptor.connect_port(plugin, kTransportPort, body.size() >= sizeof(LV2_Atom_Sequence_Body) ? sequence : nullptr);
    descriptor.activate(plugin);
    // Twice: the second run starts from where the first left the song.
    for (int run = 0; run < 2; ++run) {
        descriptor.run(plugin, frames);
        for (std::uint32_t i = 0; i < frames; ++i)
            require(std::isfinite(output[0][i]) && std::isfinite(output[1][i]), "non-finite output");
    }
    descriptor.deactivate(plugin);
    descriptor.cleanup(plugin);
    return 0;
}
