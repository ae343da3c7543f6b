#include "audio_probe.h"

#include <stdexcept>

#include "host/text/figures.h"

namespace vsthost::validate {

namespace {

// More channels than any real layout: a count beyond it is a broken record,
// not something to allocate for.
constexpr std::int32_t kMaxChannels = 1024;

std::int32_t usableChannels(std::int32_t count, const char* side) {
    if (count < 0 || count > kMaxChannels)
        throw std::runtime_error("the record declares " + std::to_string(count) + " " + side +
                                 ", no buffers can be given for that");
    return count;
}

}  // namespace

BlockBuffers::BlockBuffers(const PluginUnderTest& plugin, std::int32_t frames)
    : in(usableChannels(plugin.inputs(), "inputs"), frames), out(usableChannels(plugin.outputs(), "outputs"), frames) {}

void processNoise(PluginUnderTest& plugin, BlockBuffers& io, SeededRandom& random, std::int32_t frames,
                  SignalScan& scan) {
    fillNoise(io.in, random, kNoiseAmplitude, frames);
    plugin.process(io.in, io.out, frames);
    scan.add(io.out, frames);
}

Outcome judgeOutput(const SignalScan& scan, const CheckContext& context, const std::string& what,
                    const OutputDemands& demands) {
    if (scan.nonFinite > 0)
        return {demands.nonFinite, std::to_string(scan.nonFinite) + " non-finite output samples, the first at frame " +
                                       std::to_string(scan.firstNonFinite) + " (" + what + ")"};
    if (demands.bounded && scan.peak > kOutputBound)
        return failed("output reached " + threeFigures(scan.peak) + ", more than " + threeFigures(kOutputBound) +
                      " for input within " + threeFigures(kNoiseAmplitude) + " (" + what + ")");
    if (demands.noSubnormals && scan.subnormal > 0)
        return {context.failFrom(4), std::to_string(scan.subnormal) + " subnormal output samples (" + what + ")"};
    std::string found = what + ": output finite";
    if (demands.noSubnormals) found += ", no subnormals";
    return passed(found + ", peak " + threeFigures(scan.peak));
}

}  // namespace vsthost::validate
