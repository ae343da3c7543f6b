// Argument vectors through the command-line reader, the input split at NUL
// bytes into the arguments after the program's name. It answers a command
// whose numbers lie in their ranges, or refuses with a usage failure;
// anything else (a crash, a sanitizer report, another kind of failure or
// exception) is a finding.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "host/cli/command_line.h"
#include "host/text/failure.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void checkRender(const vsthost::RenderSettingsOptions& r) {
    require(r.blockSize >= 1, "a block size below one");
    require(r.channels >= 0, "a negative channel count");
    for (const vsthost::ParameterSetting& s : r.settings)
        require((s.preset || !s.name.empty()) && !s.value.empty(), "a setting without its name or value");
}

struct CheckCommand {
    void operator()(const vsthost::HelpCommand&) const {}
    void operator()(const vsthost::VersionCommand&) const {}
    void operator()(const vsthost::RenderCommand& c) const {
        checkRender(c.render);
        require(std::isfinite(c.bpm) && c.bpm > 0.0, "a tempo that is not a positive number");
        require(std::isfinite(c.startBeat), "a start beat that is not finite");
        require(c.tailSeconds >= 0.0 && c.tailSeconds <= 3600.0, "a tail outside its range");
        require(c.timeSignature.numerator >= 1 && c.timeSignature.denominator >= 1, "a time signature below 1/1");
        for (const vsthost::LaneText& lane : c.automation) {
            require(!lane.parameter.empty() && !lane.keyframes.empty(), "a lane without its name or keyframes");
            for (std::size_t i = 0; i < lane.keyframes.size(); ++i) {
                require(std::isfinite(lane.keyframes[i].beat), "a keyframe at a beat that is not finite");
                require(i == 0 || lane.keyframes[i - 1].beat <= lane.keyframes[i].beat, "keyframes falling");
            }
        }
        for (std::size_t i = 0; i < c.tempoChanges.size(); ++i) {
            require(std::isfinite(c.tempoChanges[i].bpm) && c.tempoChanges[i].bpm > 0.0, "a tempo change not above 0");
            require(i == 0 || c.tempoChanges[i - 1].beat < c.tempoChanges[i].beat, "tempo changes not rising");
        }
    }
    void operator()(const vsthost::DemoCommand& c) const { checkRender(c.render); }
    void operator()(const vsthost::InfoCommand&) const {}
    void operator()(const vsthost::ListCommand& c) const {
        require(!c.describe || !c.describe->empty(), "a library to describe without a path");
    }
    void operator()(const vsthost::ValidateCommand& c) const {
        require(c.callLimitSeconds > 0.0 && c.callLimitSeconds <= 604800.0, "a call limit outside its range");
        require(c.timeoutSeconds > 0.0 && c.timeoutSeconds <= 604800.0, "a timeout outside its range");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    if (size > 0) {
        args.emplace_back();
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == 0)
                args.emplace_back();
            else
                args.back() += static_cast<char>(data[i]);
        }
    }
    try {
        std::visit(CheckCommand{}, vsthost::parseCommandLine(args));
    } catch (const vsthost::Failure& failure) {
        require(failure.kind() == vsthost::FailureKind::usage, "a command line refused as another kind of failure");
        require(failure.what()[0] != '\0', "a refusal without a message");
    }
    return 0;
}
