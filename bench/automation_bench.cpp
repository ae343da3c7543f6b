// Automation typed in display values, resolved against the built Dravelkint
// plug-in: a lane of N keyframes such as "50%" turned into host values, as a
// render does before it starts. Distinct texts are a few hundred at most
// ("0%" to "100%" and the Freq 1 values in hertz); the rest repeat them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/automation/resolved_automation.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"

namespace {

using namespace vsthost;

std::vector<LaneText> lanes(std::int64_t keyframes) {
    LaneText mix{"Mix", {}};
    LaneText freq{"Freq 1", {}};
    for (std::int64_t i = 0; i < keyframes; ++i) {
        const auto beat = static_cast<double>(i) / 4.0;
        mix.keyframes.push_back({beat, std::to_string(i % 101) + "%"});
        freq.keyframes.push_back({beat, std::to_string(20 + (i * 37) % 400 * 50) + " Hz"});
    }
    return {mix, freq};
}

// Two lanes of state.range(0) keyframes each.
void BM_ResolveDisplayedValues(benchmark::State& state) {
    PluginModule module(DRAVELKINT_PLUGIN_PATH);
    HostCallback host;
    PluginInstance plugin(module, host);
    const std::vector<LaneText> typed = lanes(state.range(0));
    for (auto _ : state) {
        std::vector<AutomationLane> resolved = resolveAutomation(plugin, typed);
        benchmark::DoNotOptimize(resolved.data());
    }
    state.counters["keyframes"] = static_cast<double>(2 * state.range(0));
}

BENCHMARK(BM_ResolveDisplayedValues)->Arg(40000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
