// Streams a source through a started plug-in instance into a sink, block by
// block, with buffers sized once for the largest block. The plug-in's
// inputs are fed as a ChannelRouting says, and the delay it reports is
// compensated: cut from the start and made up at the end with silence, so
// the output lines up with the input and is just as long.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "audio_stream.h"
#include "channel_routing.h"

namespace vsthost {

class AutomationPlan;
class Plugin;
class Song;

// Called before every block with the position of its first frame and the
// largest block allowed; answers how many frames this block takes (1 to
// maxFrames), as a host that cuts its blocks irregularly would. For a source
// of unknown length it is asked once more at the end, for a block that does
// not happen; so is the automation.
using BlockPlanner = std::function<std::int32_t(std::int64_t position, std::int32_t maxFrames)>;

using RenderProgress = std::function<void(std::int64_t framesDone)>;

// What the render found out about the plug-in's delay.
struct LatencyReport {
    std::int32_t compensated = 0;  // the delay in force at the end, in frames
    std::int32_t changes = 0;      // times it changed once the first block had been processed
    std::int32_t ignored = 0;      // a reported delay too long to be meant, left alone
    std::int32_t reported = 0;     // what the plug-in reported last, compensated or not
};

struct RenderSettings {
    std::int32_t blockSize = 512;
    std::int64_t tailFrames = 0;  // silence fed in after the source ends
    // The song whose clock the plug-in's host serves: moved on after every
    // block, which ends where its tempo changes.
    Song* song = nullptr;
    // Played before every block, which ends where it next writes.
    const AutomationPlan* automation = nullptr;
    BlockPlanner planner;  // further cuts
    RenderProgress progress;
    const std::atomic<bool>* cancel = nullptr;  // polled once per block
    // Null: the source feeds the plug-in's inputs as routeChannels() does by
    // default, with side-chains silent.
    const ChannelRouting* routing = nullptr;
    AudioSource* sidechain = nullptr;  // fed where the routing says; silence after its end
    bool compensateLatency = true;
    LatencyReport* latency = nullptr;  // filled in when given
};

// The longest delay taken as meant: more than a minute and a half at 44.1 kHz.
constexpr std::int32_t kLongestLatency = 1 << 22;

// The plug-in must have been started with at least settings.blockSize. The
// sink receives the routed outputs. Answers the number of frames written.
// Throws Failure (plugin) for a plug-in the source cannot feed, Failure
// (interrupted) when cancelled, and passes on failures of source and sink.
std::int64_t render(Plugin& plugin, AudioSource& source, AudioSink& sink, const RenderSettings& settings);

}  // namespace vsthost
