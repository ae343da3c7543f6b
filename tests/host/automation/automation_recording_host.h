// Renders audio held in memory through the built plug-in with a song and its automation,
// and records what the plug-in saw at the start of every block: the
// position and tempo it was told and the parameter values it reads back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "frame/opcodes.h"
#include "host/audio/render_loop.h"
#include "host/automation/automation_plan.h"
#include "host/automation/resolved_automation.h"
#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"
#include "host/song/song.h"

struct BlockStart {
    std::int64_t sample;
    double ppqPos;
    double tempo;
    std::vector<float> parameters;  // as getParameter answers them
};

class WatchingHost : public vsthost::HostCallback {
public:
    std::intptr_t answer(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                         float opt) override {
        const std::intptr_t result = HostCallback::answer(effect, opcode, index, value, ptr, opt);
        if (opcode == audioMasterGetTime && result != 0) {
            const auto* info = reinterpret_cast<const VstTimeInfo*>(result);
            BlockStart start{clock().samplePosition(), info->ppqPos, info->tempo, {}};
            for (std::int32_t i = 0; i < effect->numParams; ++i)
                start.parameters.push_back(effect->getParameter(effect, i));
            blocks.push_back(std::move(start));
        }
        return result;
    }

    std::vector<BlockStart> blocks;
};

class MemorySource : public vsthost::AudioSource {
public:
    MemorySource(std::vector<float> mono, double rate) : samples(std::move(mono)), rate(rate) {}
    std::int32_t channels() const override { return 1; }
    double sampleRate() const override { return rate; }
    std::int64_t frames() const override { return static_cast<std::int64_t>(samples.size()); }
    std::int64_t read(float* interleaved, std::int64_t frames) override {
        const std::int64_t n = std::min<std::int64_t>(frames, static_cast<std::int64_t>(samples.size()) - position);
        std::copy_n(samples.begin() + position, n, interleaved);
        position += n;
        return n;
    }

private:
    std::vector<float> samples;
    double rate;
    std::int64_t position = 0;
};

class MemorySink : public vsthost::AudioSink {
public:
    void write(const float* interleaved, std::int64_t frames) override {
        samples.insert(samples.end(), interleaved, interleaved + frames * 2);
    }
    std::vector<float> samples;  // stereo, interleaved
};

struct Rendered {
    std::vector<BlockStart> blocks;
    std::vector<float> output;  // stereo, interleaved
};

// `automation` in the plug-in's terms; parameters not automated keep their
// defaults.
inline Rendered renderThrough(const std::vector<float>& input, double rate, std::int32_t blockSize,
                              const vsthost::TempoMap& tempo, const std::vector<vsthost::LaneText>& automation = {}) {
    vsthost::PluginModule module(DRAVELKINT_PLUGIN_PATH);
    WatchingHost host;
    vsthost::PluginInstance plugin(module, host);
    vsthost::Song song(tempo);
    host.serve(song.clock());
    const vsthost::AutomationPlan plan(song.tempo(), vsthost::resolveAutomation(plugin, automation));
    MemorySource source(input, rate);
    MemorySink sink;
    plugin.start(rate, blockSize);
    vsthost::RenderSettings settings;
    settings.blockSize = blockSize;
    settings.song = &song;
    settings.automation = &plan;
    vsthost::render(plugin, source, sink, settings);
    plugin.stop();
    return {std::move(host.blocks), std::move(sink.samples)};
}

// Reproducible noise in -0.5 to 0.5, so the filter always has something to change.
inline std::vector<float> noise(std::size_t frames, std::uint32_t seed = 12345) {
    std::vector<float> out(frames);
    for (float& x : out) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    return out;
}
