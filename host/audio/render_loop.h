// Streams a source through a started plug-in instance into a sink, block by
// block, with buffers sized once for the largest block.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "audio_stream.h"

namespace vsthost {

class PluginInstance;

// Called before every block with the position of its first frame and the
// largest block allowed; answers how many frames this block takes (1 to
// maxFrames). It may change parameters or the transport for the block it
// plans, which makes changes land on exact samples. For a source of unknown
// length it is asked once more at the end, for a block that does not happen.
using BlockPlanner = std::function<std::int32_t(std::int64_t position, std::int32_t maxFrames)>;

class Timeline;

// A planner that plays `timeline` on the plug-in: its parameter changes
// through the record, its tempo on the plug-in host's transport. Both must
// outlive the planner.
BlockPlanner plannerFor(Timeline& timeline, PluginInstance& plugin);

using RenderProgress = std::function<void(std::int64_t framesDone)>;

struct RenderSettings {
    std::int32_t blockSize = 512;
    std::int64_t tailFrames = 0;  // silence fed in after the source ends
    BlockPlanner planner;
    RenderProgress progress;
    const std::atomic<bool>* cancel = nullptr;  // polled once per block
};

// Refuses a plug-in that cannot be fed from, and written to, files: one
// that takes or gives more than two channels or none, or whose inputs
// differ from the audio's `channels` (a mono file feeds every input).
// Throws Failure (plugin).
void checkChannelShape(const PluginInstance& plugin, std::int32_t channels);

// The plug-in must have been started with at least settings.blockSize. The
// channels must pass checkChannelShape(). The sink receives the plug-in's outputs. Answers the
// number of frames written. Throws Failure (plugin) for a source the plug-in
// cannot take, Failure (interrupted) when cancelled, and passes on failures
// of source and sink.
std::int64_t render(PluginInstance& plugin, AudioSource& source, AudioSink& sink, const RenderSettings& settings);

}  // namespace vsthost
