#include "wobble_plugin.h"

#include <lv2/atom/util.h>

#include <algorithm>

#include "port_layout.h"

namespace {

// The event at `offset` into the sequence's body, or null when it does not
// lie wholly within the size the sequence gives: that size is all a host
// vouches for, the sizes inside it may run past it.
const LV2_Atom_Event* eventAt(const LV2_Atom_Sequence& sequence, std::uint64_t offset) {
    const std::uint64_t size = sequence.atom.size;
    if (offset > size || size - offset < sizeof(LV2_Atom_Event)) return nullptr;
    const auto* event =
        reinterpret_cast<const LV2_Atom_Event*>(reinterpret_cast<const std::uint8_t*>(&sequence.body) + offset);
    return event->body.size <= size - offset - sizeof(LV2_Atom_Event) ? event : nullptr;
}

}  // namespace

WobblePlugin::WobblePlugin(float sampleRate, const LV2_URID_Map* map)
    : sampleRate(sampleRate), reader(map), clock(sampleRate) {}

void WobblePlugin::connect(std::uint32_t port, void* data) {
    auto* samples = static_cast<float*>(data);
    switch (port) {
        case kPeriodPort:
        case kFreq1Port:
        case kFreq2Port:
        case kQPort:
        case kMixPort: controls.connect(port, samples); break;
        case kInLeftPort: inputs[0] = samples; break;
        case kInRightPort: inputs[1] = samples; break;
        case kOutLeftPort: outputs[0] = samples; break;
        case kOutRightPort: outputs[1] = samples; break;
        case kTransportPort: transport = static_cast<const LV2_Atom_Sequence*>(data); break;
        default: break;
    }
}

void WobblePlugin::activate() {
    const SweepSteps steps = wobble.steps();
    wobble = Wobble{};
    wobble.useSteps(steps);
    controls.forget();
    clock = SongClock(sampleRate);
}

void WobblePlugin::run(std::uint32_t frames) {
    // A host must connect every audio port before it runs the plug-in; one
    // that did not is left waiting rather than sent through a null pointer.
    if (inputs[0] == nullptr || inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) return;
    controls.applyTo(wobble);
    clock.startRun();
    std::uint32_t done = 0;
    if (transport != nullptr && reader.isSequence(transport->atom)) {
        for (std::uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
             const LV2_Atom_Event* event = eventAt(*transport, offset);
             offset += sizeof(LV2_Atom_Event) + lv2_atom_pad_size(event->body.size)) {
            PositionUpdate update;
            if (!reader.read(event->body, update)) continue;
            // Events out of order or beyond the run take effect where the run is.
            const auto at = static_cast<std::uint32_t>(std::clamp<std::int64_t>(event->time.frames, done, frames));
            if (at > done) processSpan(done, at);
            done = at;
            clock.apply(update);
        }
    }
    processSpan(done, frames);
}

void WobblePlugin::processSpan(std::uint32_t from, std::uint32_t to) {
    // The wobble counts frames in 32-bit signed integers.
    constexpr std::uint32_t kLongestSpan = 1u << 30;
    while (from < to) {
        const std::uint32_t count = std::min(to - from, kLongestSpan);
        const float* in[2] = {inputs[0] + from, inputs[1] + from};
        float* out[2] = {outputs[0] + from, outputs[1] + from};
        const SongPosition now = clock.now();
        wobble.process(in, out, static_cast<std::int32_t>(count), sampleRate, [now] { return now; });
        clock.advance(count);
        from += count;
    }
}
