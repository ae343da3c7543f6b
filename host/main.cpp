// dravelkint: renders audio files through the Dravelkint plug-in (or any
// VST 2.4 plug-in), inspects plug-ins, and plays a demo that needs no input.
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "commands.h"
#include "exit_codes.h"
#include "validate/validate_command.h"

namespace vsthost {

void printHelp() {
    std::fputs(R"(dravelkint - a tempo-synchronised wobble filter for audio files

Usage:
  dravelkint demo [OUT] [options]      render a built-in test signal (8 bars at 140 BPM)
                                       through the plug-in into OUT (default dravelkint-demo.wav)
  dravelkint render IN OUT [options]   stream the audio file IN through the plug-in into OUT
  dravelkint info [--plugin PATH] [--json] [--set NAME=VALUE ...]
                                       describe a VST 2.4 plug-in and list its parameters,
                                       after any --set: shows what a setting lands on
  dravelkint validate [--plugin PATH] [--strictness 1..10] [--seed N] [--only GROUPS]
                     [--timeout SECONDS] [--json]
                                       put a VST 2.4 plug-in through a catalogue of checks
                                       (`dravelkint validate --help` lists them)
  dravelkint --help                    show this text

Render options:
  --bpm N                 tempo in beats per minute (default 120)
  --start-beat B          song position of the first sample, in quarter notes (default 0)
  --time-sig N/D          time signature (default 4/4)
  --set NAME=VALUE        set a parameter to VALUE as the plug-in displays it, e.g.
                          --set Period=1/8 --set "Freq 1=300" --set Q=4.0 --set Mix=50
                          (repeatable; `dravelkint info` lists names and current values)
  --set-normalized NAME=X set a parameter to its raw host value X, from 0 to 1
  --tail SECONDS          feed this much silence after the input ends (default 0)
  --automate "NAME=BEAT:VALUE,BEAT:VALUE,..."
                          move a parameter over the song: VALUE as --set takes it, or
                          normalised with an n suffix (0.3n); linear between keyframes,
                          a step where two keyframes share a beat (repeatable), e.g.
                          --automate "Freq 1=0:300,16:2000" --automate "Mix=8:0n,8:1n"
  --automation FILE.json  keyframes for several parameters, e.g.
                          {"Freq 1": [{"beat": 0, "value": 300}, {"beat": 16, "value": 2000}],
                           "Period": [{"beat": 0, "value": "1/8"}, {"beat": 8, "value": "1/16"}]}
  --tempo-map "BEAT:BPM,BEAT:BPM,..."
                          tempo steps at the given beats, e.g. "0:120,32:140"; --bpm holds
                          until the first of them
  --block N               frames per processing call, 1 or more (default 512)
  --plugin PATH           another VST 2.4 plug-in (default: the Dravelkint plug-in beside
                          this program, in ../lib/vst, or in ~/.vst)
  --overwrite             replace OUT if it exists (it is refused otherwise)
  --quiet                 no progress bar and no summary line
  --spectrogram OUT.png   also draw a spectrogram of the output: frequency up, time in beats
                          across with a line at every bar, level as colour (render and demo)
  --spectrogram-size WxH  its size in pixels (default 1200x600)

Demo options: --plugin, --set, --set-normalized, --block, --overwrite, --quiet,
  --spectrogram, --spectrogram-size, and
  --bars N                length in bars (default 8)
  --dry                   write the test signal without the plug-in, e.g. as an input for render

The output format follows OUT's extension: .wav, .flac, .aiff, .ogg, .opus, .w64, .rf64,
.caf or .au. The input's sample format is kept where the output format allows it. A mono
input feeds both plug-in inputs. OUT is written to a temporary file beside it and takes
its name only when the render has succeeded; the input is never overwritten.

Example:
  dravelkint render loop.wav loop-wobble.wav --bpm 128 --set Period=1/8 --set "Freq 1=300" --set Mix=50

Exit codes:
  0    success
  1    unexpected failure
  2    usage: a bad command line, option value, parameter name or parameter value,
       automation or tempo map
  3    input file: missing, unreadable, not audio, or more than 2 channels; an automation
       file that cannot be read or is not automation
  4    output file or picture: exists, is the input, unknown extension, or cannot be written
  5    plug-in: missing, not loadable, no VSTPluginMain, no valid effect, or unsupported channels
  130  interrupted; nothing was written
)",
               stdout);
}

}  // namespace vsthost

int main(int argc, char** argv) {
    using namespace vsthost;
    if (argc > 1 && std::string(argv[1]) == "validate") return validate::runValidate(argc - 1, argv + 1);
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        const Command command = parseCommandLine(args);
        std::visit(
            [](const auto& c) {
                using T = std::decay_t<decltype(c)>;
                if constexpr (std::is_same_v<T, HelpCommand>)
                    printHelp();
                else if constexpr (std::is_same_v<T, RenderCommand>)
                    runRender(c);
                else if constexpr (std::is_same_v<T, DemoCommand>)
                    runDemo(c);
                else
                    runInfo(c);
            },
            command);
        return kExitSuccess;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "dravelkint: %s\n", failure.what());
        return exitCodeFor(failure.kind());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravelkint: unexpected failure: %s\n", error.what());
        return kExitUnexpected;
    }
}
