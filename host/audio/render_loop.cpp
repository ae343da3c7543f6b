#include "render_loop.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "host/automation/automation_plan.h"
#include "host/plugin/channel_buffers.h"
#include "host/plugin/plugin.h"
#include "host/song/song.h"
#include "host/text/failure.h"

namespace vsthost {

namespace {

// A source read a block at a time into an interleaved buffer, silent after its end.
class BlockReader {
public:
    BlockReader(AudioSource* source, std::int32_t block)
        : source(source), buffer(source != nullptr ? static_cast<std::size_t>(block) * source->channels() : 0) {}

    // Answers the frames the source still had, up to `frames`.
    std::int64_t read(std::int32_t frames) {
        if (source == nullptr || ended) return 0;
        const std::int64_t got = source->read(buffer.data(), frames);
        ended = got < frames;
        return got;
    }
    bool hasEnded() const { return source == nullptr || ended; }
    float sample(std::int64_t frame, std::int32_t channel) const {
        return buffer[static_cast<std::size_t>(frame * source->channels() + channel)];
    }

private:
    AudioSource* source;
    std::vector<float> buffer;
    bool ended = false;
};

// The plug-in's reported delay, held to what can be meant.
std::int32_t reportedLatency(const Plugin& plugin, LatencyReport& report) {
    const std::int32_t latency = plugin.latency();
    if (latency < 0) return 0;
    if (latency > kLongestLatency) {
        report.ignored = latency;
        return 0;
    }
    return latency;
}

}  // namespace

std::int64_t render(Plugin& plugin, AudioSource& source, AudioSink& sink, const RenderSettings& settings) {
    std::optional<ChannelRouting> ownRouting;
    if (settings.routing == nullptr)
        ownRouting = routeChannels(plugin.inputPins(), plugin.outputs(), source.channels(), 0, 0);
    const ChannelRouting& routing = settings.routing != nullptr ? *settings.routing : *ownRouting;
    if (static_cast<std::int32_t>(routing.inputs.size()) != plugin.inputs() || routing.outputs > plugin.outputs())
        throw Failure(FailureKind::plugin, "the plug-in's channels changed after it was opened");

    const std::int32_t block = settings.blockSize;
    BlockReader main(&source, block);
    BlockReader side(settings.sidechain, block);
    ChannelBuffers in(plugin.inputs(), block);
    ChannelBuffers out(plugin.outputs(), block);
    const std::int32_t outChannels = routing.outputs;
    std::vector<float> interleavedOut(static_cast<std::size_t>(block) * outChannels);

    LatencyReport ownReport;
    LatencyReport& report = settings.latency != nullptr ? *settings.latency : ownReport;
    report = {};
    std::int32_t latency = settings.compensateLatency ? reportedLatency(plugin, report) : 0;
    std::int64_t toDrop = latency;  // output frames still to cut

    std::int64_t position = 0;  // frames fed to the plug-in
    std::int64_t written = 0;
    std::int64_t tailLeft = settings.tailFrames;
    // The output is as long as the source and its tail, which is known for
    // sure once the source ends.
    std::int64_t target = source.frames() >= 0 ? source.frames() + settings.tailFrames : -1;
    for (;;) {
        if (target >= 0 && written >= target) break;
        // With the length known, the planner is asked only for blocks that happen.
        if (target >= 0 && latency == 0 && position >= target) break;
        if (settings.cancel != nullptr && settings.cancel->load())
            throw Failure(FailureKind::interrupted, "interrupted");
        std::int32_t wanted = block;
        if (settings.song != nullptr) wanted = settings.song->framesUntilChange(wanted);
        if (settings.automation != nullptr) wanted = settings.automation->play(position, wanted, plugin);
        if (settings.planner) wanted = std::clamp(settings.planner(position, wanted), std::int32_t{1}, wanted);

        const bool endedBefore = main.hasEnded();
        const std::int64_t got = main.read(wanted);
        // A damaged source may end before the length its header promised.
        if (main.hasEnded() && !endedBefore) target = position + got + settings.tailFrames;
        const std::int64_t silence = std::min<std::int64_t>(wanted - got, tailLeft);
        tailLeft -= silence;
        std::int64_t frames = got + silence;
        // Past the source and its tail, silence brings out what the delay still holds.
        if (frames == 0 && written < target && latency > 0) frames = wanted;
        if (frames == 0) break;
        const std::int64_t sideGot = side.read(static_cast<std::int32_t>(frames));

        for (std::int32_t c = 0; c < in.channels(); ++c) {
            float* dest = in.channel(c);
            const InputFeed& feed = routing.inputs[c];
            if (feed.from == InputFeed::From::main) {
                for (std::int64_t i = 0; i < got; ++i) dest[i] = main.sample(i, feed.channel);
                std::fill(dest + got, dest + frames, 0.0f);
            } else if (feed.from == InputFeed::From::sidechain) {
                for (std::int64_t i = 0; i < sideGot; ++i) dest[i] = side.sample(i, feed.channel);
                std::fill(dest + sideGot, dest + frames, 0.0f);
            } else {
                std::fill(dest, dest + frames, 0.0f);
            }
        }
        plugin.process(in.pointers(), out.pointers(), static_cast<std::int32_t>(frames));
        if (settings.song != nullptr) settings.song->advance(static_cast<std::int32_t>(frames));
        position += frames;

        // Plug-ins report their delay once they process, and may change it.
        if (settings.compensateLatency) {
            const std::int32_t now = reportedLatency(plugin, report);
            if (now != latency) {
                if (position > frames) ++report.changes;
                if (now > latency) {
                    toDrop += now - latency;
                } else {
                    // Output now comes sooner: silence keeps what follows in line.
                    std::int64_t gap = latency - now - std::min<std::int64_t>(toDrop, latency - now);
                    toDrop = std::max<std::int64_t>(toDrop - (latency - now), 0);
                    std::fill(interleavedOut.begin(), interleavedOut.end(), 0.0f);
                    while (gap > 0 && (target < 0 || written < target)) {
                        std::int64_t n = std::min<std::int64_t>(gap, block);
                        if (target >= 0) n = std::min(n, target - written);
                        sink.write(interleavedOut.data(), n);
                        written += n;
                        gap -= n;
                    }
                }
                latency = now;
            }
        }

        const std::int64_t drop = std::min(toDrop, frames);
        toDrop -= drop;
        std::int64_t keep = frames - drop;
        if (target >= 0) keep = std::min(keep, target - written);
        for (std::int32_t c = 0; c < outChannels; ++c) {
            const float* src = out.channel(c) + drop;
            for (std::int64_t i = 0; i < keep; ++i)
                interleavedOut[static_cast<std::size_t>(i) * outChannels + c] = src[i];
        }
        if (keep > 0) sink.write(interleavedOut.data(), keep);
        written += std::max<std::int64_t>(keep, 0);
        if (settings.progress) settings.progress(written);
    }
    report.compensated = latency;
    report.reported = plugin.latency();
    return written;
}

}  // namespace vsthost
