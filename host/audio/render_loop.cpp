#include "render_loop.h"

#include <algorithm>
#include <string>
#include <vector>

#include "host/plugin/host_callback.h"
#include "host/plugin/plugin_instance.h"
#include "host/song/timeline.h"
#include "host/text/failure.h"

namespace vsthost {

namespace {

// Channel buffers of one block, laid out as the plug-in wants them.
class ChannelBuffers {
public:
    ChannelBuffers(std::int32_t channels, std::int32_t frames)
        : samples(static_cast<std::size_t>(channels) * frames), pointers(channels) {
        for (std::int32_t c = 0; c < channels; ++c) pointers[c] = samples.data() + static_cast<std::size_t>(c) * frames;
    }
    float** data() { return pointers.data(); }
    float* channel(std::int32_t c) { return pointers[c]; }
    std::int32_t channels() const { return static_cast<std::int32_t>(pointers.size()); }

private:
    std::vector<float> samples;
    std::vector<float*> pointers;
};

}  // namespace

void checkChannelShape(const PluginInstance& plugin, std::int32_t channels) {
    const std::int32_t inputs = plugin.inputs();
    const std::int32_t outputs = plugin.outputs();
    if (inputs > 2 || outputs > 2)
        throw Failure(FailureKind::plugin, "the plug-in has " + std::to_string(inputs) + " inputs and " +
                                               std::to_string(outputs) +
                                               " outputs; only plug-ins with up to 2 of each can be used");
    if (inputs < 1 || outputs < 1)
        throw Failure(FailureKind::plugin, "the plug-in has " + std::to_string(inputs) + " inputs and " +
                                               std::to_string(outputs) + " outputs; it cannot process a file");
    if (channels != 1 && channels != inputs)
        throw Failure(FailureKind::plugin, "the plug-in takes " + std::to_string(inputs) +
                                               " channel(s) and the input has " + std::to_string(channels) +
                                               "; give it a mono file");
}

BlockPlanner plannerFor(Timeline& timeline, PluginInstance& plugin) {
    const ParameterWriter write = [&plugin](std::int32_t index, float value) { plugin.setParameter(index, value); };
    return [&timeline, &plugin, write](std::int64_t position, std::int32_t maxFrames) {
        return timeline.plan(position, maxFrames, plugin.host().transport, write);
    };
}

std::int64_t render(PluginInstance& plugin, AudioSource& source, AudioSink& sink, const RenderSettings& settings) {
    checkChannelShape(plugin, source.channels());
    const std::int32_t block = settings.blockSize;
    const std::int32_t sourceChannels = source.channels();
    std::vector<float> interleavedIn(static_cast<std::size_t>(block) * sourceChannels);
    std::vector<float> interleavedOut(static_cast<std::size_t>(block) * plugin.outputs());
    ChannelBuffers in(plugin.inputs(), block);
    ChannelBuffers out(plugin.outputs(), block);
    Transport& transport = plugin.host().transport;

    std::int64_t position = 0;
    std::int64_t tailLeft = settings.tailFrames;
    bool sourceEnded = false;
    const std::int64_t knownEnd = source.frames() >= 0 ? source.frames() + settings.tailFrames : -1;
    for (;;) {
        // With the length known, the planner is asked only for blocks that happen.
        if (position == knownEnd) break;
        if (settings.cancel != nullptr && settings.cancel->load())
            throw Failure(FailureKind::interrupted, "interrupted");
        const std::int32_t wanted =
            settings.planner ? std::clamp(settings.planner(position, block), std::int32_t{1}, block) : block;

        std::int64_t got = 0;
        if (!sourceEnded) {
            got = source.read(interleavedIn.data(), wanted);
            sourceEnded = got < wanted;
        }
        const std::int64_t silence = std::min<std::int64_t>(wanted - got, tailLeft);
        tailLeft -= silence;
        const auto frames = static_cast<std::int32_t>(got + silence);
        if (frames == 0) break;

        for (std::int32_t c = 0; c < in.channels(); ++c) {
            float* dest = in.channel(c);
            const std::int32_t from = sourceChannels == 1 ? 0 : c;
            for (std::int64_t i = 0; i < got; ++i) dest[i] = interleavedIn[i * sourceChannels + from];
            std::fill(dest + got, dest + frames, 0.0f);
        }
        plugin.process(in.data(), out.data(), frames);
        transport.advance(frames);

        const std::int32_t outChannels = out.channels();
        for (std::int32_t c = 0; c < outChannels; ++c) {
            const float* src = out.channel(c);
            for (std::int32_t i = 0; i < frames; ++i)
                interleavedOut[static_cast<std::size_t>(i) * outChannels + c] = src[i];
        }
        sink.write(interleavedOut.data(), frames);
        position += frames;
        if (settings.progress) settings.progress(position);
    }
    return position;
}

}  // namespace vsthost
