// A whole render through Dravelkint in each of its formats, as `dravelkint
// render` does it (opening, the song's clock, the render loop and its
// buffers, processing, closing): one minute of the demo signal at 140 BPM in
// blocks of 512, into a sink that keeps nothing. Both run in one process, so
// their ratio is what a user of either format sees.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "host/audio/demo_signal.h"
#include "host/audio/render_loop.h"
#include "host/plugin/plugin.h"
#include "host/plugin/plugin_loader.h"
#include "host/song/song.h"

namespace {

using namespace vsthost;

class DiscardingSink : public AudioSink {
public:
    void write(const float* interleaved, std::int64_t frames) override {
        benchmark::DoNotOptimize(interleaved);
        written += frames;
    }
    std::int64_t written = 0;
};

void renderThrough(benchmark::State& state, const char* plugin) {
    constexpr std::int32_t kBars = 35;  // a minute at 140 BPM
    constexpr std::int32_t kBlock = 512;
    std::int64_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        DemoSignal source(kBars);
        Song song(TempoMap(DemoSignal::kSampleRate, DemoSignal::kTempo));
        DiscardingSink sink;
        state.ResumeTiming();
        const std::unique_ptr<Plugin> instance = openPlugin(plugin, nullptr, song.clock());
        instance->start(DemoSignal::kSampleRate, kBlock);
        RenderSettings settings;
        settings.blockSize = kBlock;
        settings.song = &song;
        render(*instance, source, sink, settings);
        instance->shutDown();
        frames = sink.written;
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_RenderVst2(benchmark::State& state) { renderThrough(state, DRAVELKINT_PLUGIN_PATH); }
void BM_RenderLv2(benchmark::State& state) { renderThrough(state, DRAVELKINT_LV2_BUNDLE_PATH); }

BENCHMARK(BM_RenderVst2)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RenderLv2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
