// The LV2 plug-in through its descriptor, as a host runs it, beside the VST
// 2.4 plug-in through its record (BM_Processor) in the same run: with a
// position object in every run, as hosts that send one per cycle do, and with
// none, the plug-in moving its held position on by itself.
#include <benchmark/benchmark.h>
#include <lv2/atom/forge.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <array>
#include <string>
#include <vector>

#include "bench_host.h"
#include "lv2/plugin_descriptor.h"
#include "lv2/port_layout.h"
#include "rate_and_block.h"

namespace {

// A host that keeps one position object in the transport port and moves its
// bar and beat on before every run, as the VST 2.4 benchmark host moves the
// position in its time record; or, when it sends none, an empty sequence.
class Lv2BenchHost {
public:
    // The buffers stay where they are, so they are connected once.
    Lv2BenchHost(float sampleRate, bool sendPosition, const float* const* inputs, float* const* outputs)
        : sampleRate(sampleRate) {
        uris.reserve(32);
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, &map);
        lv2_atom_forge_set_buffer(&forge, transport.data(), transport.size());
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        if (sendPosition) {
            lv2_atom_forge_frame_time(&forge, 0);
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge, &object, 0, id(LV2_TIME__Position));
            lv2_atom_forge_key(&forge, id(LV2_TIME__bar));
            bar = &reinterpret_cast<LV2_Atom_Long*>(lv2_atom_forge_deref(&forge, lv2_atom_forge_long(&forge, 0)))->body;
            lv2_atom_forge_key(&forge, id(LV2_TIME__barBeat));
            barBeat =
                &reinterpret_cast<LV2_Atom_Float*>(lv2_atom_forge_deref(&forge, lv2_atom_forge_float(&forge, 0)))->body;
            lv2_atom_forge_key(&forge, id(LV2_TIME__beatsPerBar));
            lv2_atom_forge_float(&forge, 4.0f);
            lv2_atom_forge_key(&forge, id(LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, 120.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        lv2_atom_forge_pop(&forge, &sequence);

        const LV2_Feature mapFeature{LV2_URID__map, &map};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        instance = descriptor.instantiate(&descriptor, sampleRate, "", features);
        for (std::uint32_t port = kPeriodPort; port <= kMixPort; ++port)
            descriptor.connect_port(instance, port, &controls[port]);
        descriptor.connect_port(instance, kTransportPort, transport.data());
        descriptor.connect_port(instance, kInLeftPort, const_cast<float*>(inputs[0]));
        descriptor.connect_port(instance, kInRightPort, const_cast<float*>(inputs[1]));
        descriptor.connect_port(instance, kOutLeftPort, outputs[0]);
        descriptor.connect_port(instance, kOutRightPort, outputs[1]);
        descriptor.activate(instance);
    }
    ~Lv2BenchHost() {
        descriptor.deactivate(instance);
        descriptor.cleanup(instance);
    }
    Lv2BenchHost(const Lv2BenchHost&) = delete;
    Lv2BenchHost& operator=(const Lv2BenchHost&) = delete;

    void process(std::uint32_t frames) {
        if (bar != nullptr) {
            *bar = static_cast<std::int64_t>(quarterNotes * 0.25);
            *barBeat = static_cast<float>(quarterNotes - 4.0 * static_cast<double>(*bar));
        }
        descriptor.run(instance, frames);
        // 4/4 at 120 BPM over the same 64-bar loop as the VST 2.4 host's.
        quarterNotes += static_cast<double>(frames) * 120.0 / 60.0 / sampleRate;
        if (quarterNotes >= 256.0) quarterNotes -= 256.0;
    }

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
        auto& known = static_cast<Lv2BenchHost*>(handle)->uris;
        for (std::size_t i = 0; i < known.size(); ++i)
            if (known[i] == uri) return static_cast<LV2_URID>(i + 1);
        known.emplace_back(uri);
        return static_cast<LV2_URID>(known.size());
    }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }

    const LV2_Descriptor& descriptor = wobbleDescriptor();
    float sampleRate;
    std::vector<std::string> uris;
    LV2_URID_Map map{this, mapUri};
    alignas(8) std::array<std::uint8_t, 1024> transport{};
    std::int64_t* bar = nullptr;
    float* barBeat = nullptr;
    std::array<float, 5> controls{6.0f, 500.0f, 20000.0f, 1.414f, 100.0f};
    LV2_Handle instance = nullptr;
    double quarterNotes = 0.0;
};

void measureLv2(benchmark::State& state, bool sendPosition) {
    const auto sampleRate = static_cast<float>(state.range(0));
    const auto frames = static_cast<std::int32_t>(state.range(1));
    StereoBlock input(frames), output(frames);
    fillNoise(input, 0.5f, 1);
    Lv2BenchHost host(sampleRate, sendPosition, input.data(), output.data());
    for (auto _ : state) {
        host.process(static_cast<std::uint32_t>(frames));
        benchmark::DoNotOptimize(output.left.data());
        benchmark::DoNotOptimize(output.right.data());
        benchmark::ClobberMemory();
    }
    setFrameCounters(state, sampleRate, frames);
}

void BM_Lv2(benchmark::State& state) { measureLv2(state, true); }

void BM_Lv2Held(benchmark::State& state) { measureLv2(state, false); }

}  // namespace

BENCHMARK(BM_Lv2)->Apply(rateAndBlock);
BENCHMARK(BM_Lv2Held)->Apply(rateAndBlock);
