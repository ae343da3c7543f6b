// What `dravelkint --help` and each command's --help print.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "host/validate/catalogue.h"

namespace vsthost {

namespace {

constexpr const char* kOverview = R"(dravelkint - a tempo-synchronised wobble filter for audio files

Usage:
  dravelkint demo [OUT] [options]      render a built-in test signal (8 bars at 140 BPM)
                                       through the plug-in into OUT (default dravelkint-demo.wav)
  dravelkint render IN OUT [options]   stream the audio file IN through the plug-in into OUT
  dravelkint info [PATH] [options]     describe a VST 2.4 plug-in and list its parameters (or
                                       an audio file: its format, length and tags)
  dravelkint validate [PATH] [options] put a VST 2.4 plug-in through a catalogue of checks
  dravelkint list [options]            list the installed LV2 and VST 2.4 plug-ins
  dravelkint COMMAND --help            the options of one command (or dravelkint help COMMAND)
  dravelkint --help                    show this text
  dravelkint --version, -V             show the version

Every command takes an option's value joined with '=' or as the next argument,
and "--" ends the options (for file names that begin with '-'). An option that
holds one value is refused when given twice.

Example:
  dravelkint render loop.wav loop-wobble.wav --bpm 128 --set Period=1/8 --set "Freq 1=300" --set Mix=50

Exit codes:
  0    success (warnings, e.g. of clipping, are printed but do not change it)
  1    unexpected failure
  2    usage: a bad command line, option value, parameter name or parameter value,
       a parameter set twice or both set and automated, automation or tempo map
  3    input file: missing, unreadable or not audio; an automation file that cannot be
       read or is not automation
  4    output file or picture: exists, is the input, unknown extension, or cannot be
       written (the message says whether the audio was written before a picture failed)
  5    plug-in: missing, not loadable, no VSTPluginMain or main, no valid effect,
       channels it cannot be fed, or output that is not numbers or past +100 dBFS
       (nothing written)
  6    the plug-in crashed (a fault, an abort or an exception) or called exit() in the
       call the message names; nothing was written and no temporary file is left
  7    validate: the plug-in was validated and a check failed
  8    validate: the overall time limit (--timeout) ran out before every check ran, and
       none that ran failed
  130  interrupted by Ctrl-C (SIGINT); nothing was written. Every other signal that ends
       a render gives 128 and its number likewise: 129 SIGHUP, 131 SIGQUIT, 138 SIGUSR1,
       140 SIGUSR2, 141 SIGPIPE (standard output closed), 142 SIGALRM, 143 SIGTERM. The
       render stops at its next block; a second signal ends it at once
)";

// The options render and demo share.
constexpr const char* kRenderingOptions =
    R"(  --set NAME=VALUE        set a parameter to VALUE as the plug-in displays it, with or
                          without the unit of its label or a multiple of it (Hz, kHz, ms,
                          s, %, dB), or a note value (1/8, 1/8T a triplet, 1/8. dotted), e.g.
                          --set Period=1/8T --set "Freq 1=2.5 kHz" --set Q=4 --set Mix=50%
                          Anything else is refused with the forms the parameter takes; a
                          value that lands on another display (Mix=0.5 shows 0) is said.
                          Repeatable, once per parameter; `dravelkint info` lists names,
                          current values and (with --set) what a setting lands on.
                          Dravelkint's Period takes 1/1, 1/2, 1/3, 1/4, 1/6, 1/8, 1/12,
                          1/16, 1/24, 1/32, 1/48 and 1/64; no dotted note (1/8. is 3/16).
  --set-normalized NAME=X set a parameter to its raw host value X, from 0 to 1
  --preset NAME|URI       load one of the plug-in's presets (`dravelkint info` lists them)
                          before any --set
  --block N               frames per processing call, 1 to 1048576 (default 512)
  --plugin PATH           another plug-in: a VST 2.4 library, an LV2 bundle folder or an
                          installed LV2 plug-in's URI (default: the Dravelkint plug-in
                          beside this program, in ../lib/vst, or in ~/.vst)
  --overwrite             replace OUT if it exists (it is refused otherwise)
  --quiet, -q             no progress bar and no summary line
  --spectrogram OUT.png   also draw a spectrogram of the output: frequency up, time in bars
                          across with a line at every bar and the tempo above, level as colour
  --spectrogram-size WxH  its size in pixels, 400x240 to 3840x2160 (default 1200x600; below
                          640x360 its labels are drawn at half size); needs --spectrogram
  --channels N            write the plug-in's first N outputs (default: all of them)
  --sample-format F       the output's samples: 8, 16, 24, 32, float or double (default: the
                          input's where the format holds it; float, or 24 bit, for mp3, ogg
                          and opus input)
  --format EXT            the output format regardless of OUT's name; needed for OUT "-"
  --quality Q             mp3, ogg and opus at a variable bit rate, from 0 (smallest) to 1
                          (best); default mp3 0.9, ogg 0.6, opus 0.4: about 200 kbit/s or
                          more for music, mp3 keeping up to about 19.5 kHz
  --no-latency-compensation
                          leave the plug-in's reported delay in the output
  --keep-bad-output       write output that is not numbers, infinite or past +100 dBFS,
                          with a warning, instead of refusing it; formats other than float
                          and double get silence for NaN and full scale for the rest

The output format follows OUT's extension: .wav, .flac, .aiff, .ogg, .opus, .mp3, .w64,
.rf64, .caf or .au. Opus holds 48 kHz and some lower rates, mp3 up to 48 kHz, Vorbis up
to 192 kHz: other rates are resampled (libsoxr) and the render says so. Tags (title,
artist, ...) are carried over where the format has a place for them. OUT "-" writes to
standard output in a format that streams (--format au, ogg or opus); so is a FIFO or a
character device as OUT written into, never replaced. A symbolic link as OUT is followed
to its file; a file that is replaced keeps its mode. Sockets and block devices are refused.

OUT is written to a temporary file beside it and takes its name only when the render has
succeeded, the plug-in has closed without crashing and its output is sound: output with
samples that are not numbers, infinite or past +100 dBFS is refused (exit 5) with their
count and the moment of the first; such samples already in the input are refused as the
input's (exit 3) before the plug-in sees them. The summary gives the peak; samples past
full scale in a format that clips them (anything but float and double) are counted in a
warning. A damaged input (cut short, or not decodable to its end) is rendered as far as
it reads, with a warning saying what was lost.

The plug-in's delay (its latency, read once it is processing and again after every
block, since many report it only then and may change it) is cut from the start of the
output and made up at the end with silence: the output lines up with the input and is
just as long.
)";

constexpr const char* kRender = R"(dravelkint render - stream an audio file through the plug-in

Usage:
  dravelkint render IN OUT [options]

Options:
  --bpm N                 tempo in beats per minute (default 120)
  --start-beat B          song position of the first sample, in quarter notes (default 0);
                          a negative B is a pre-roll: keyframes and tempo changes may
                          start there
  --time-sig N/D          time signature (default 4/4)
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
                          until the first of them, so both are refused when the first
                          lies at or before the start beat
  --sidechain FILE        audio for the plug-in's side-chain inputs, at the input's rate
                          (silence after its end); without it they get silence
)";

constexpr const char* kRenderNotes = R"(
IN may be any file libsndfile reads (wav, flac, aiff, ogg, opus, mp3, ...) or "-" for
standard input (wav, aiff, au, ogg). Beats are quarter notes whatever the time
signature. Automation moves continuous parameters linearly; a parameter of a few steps
(Period, a mode, a switch) holds each keyframe's value until the next.

Channels: when a plug-in has more inputs than outputs, the inputs past its outputs are
its side-chain (--sidechain gives them a signal, else silence); the rest take IN's
channels one to one (a mono IN feeds the first two), and inputs left over get silence;
the render says which. A mono IN through a stereo plug-in gives a stereo
file (both channels alike for Dravelkint); add --channels 1 for a mono one. The input is
never overwritten.

Example:
  dravelkint render loop.wav loop-wobble.wav --bpm 128 --set Period=1/8 --set "Freq 1=300" --set Mix=50
)";

constexpr const char* kDemo = R"(dravelkint demo - render a built-in test signal through the plug-in

Usage:
  dravelkint demo [OUT] [options]

Renders 8 bars of sawtooth chords and bass at 140 BPM into OUT (default
dravelkint-demo.wav).

Options:
  --bars N                length in bars (default 8)
  --dry                   write the test signal without the plug-in, e.g. as an input for render
                          (so --plugin and --set are refused with it)
)";

constexpr const char* kInfo = R"(dravelkint info - describe a VST 2.4 plug-in

Usage:
  dravelkint info [PATH] [--plugin PATH] [--json] [--set NAME=VALUE ...]

Shows the plug-in's name, vendor, product, unique identifier, VST version, category,
channels (and which inputs are a side-chain), its latency once processing (it processes
one block of silence at 44.1 kHz to learn it), flags and a table of its parameters (with
the range their displays show from 0 to 1, where those are numbers).
Given an audio file instead, shows its format, channels, rate, length and tags; a damaged
or unreadable one named as audio (.wav, .flac, ...) fails as an input, exit 3.

Options:
  --plugin PATH           the plug-in: a VST 2.4 library, an LV2 bundle folder or an LV2
                          URI (default: the Dravelkint plug-in beside this program, in
                          ../lib/vst, or in ~/.vst); PATH may also stand alone
  --json                  one JSON document instead of the table
  --set NAME=VALUE        set a parameter first, as render does: shows what a setting lands on
  --set-normalized NAME=X set a parameter to its raw host value X, from 0 to 1
  --preset NAME|URI       load one of the plug-in's presets first
)";

constexpr const char* kValidate = R"(dravelkint validate - put a VST 2.4 or LV2 plug-in through a catalogue of checks

Usage:
  dravelkint validate [PATH] [--plugin PATH] [--strictness 1..10] [--seed N] [--only GROUPS]
                      [--call-limit SECONDS] [--timeout SECONDS] [--json] [--save-sequences DIR]
  dravelkint validate --replay FILE PATH

Options:
  --plugin PATH          the plug-in file, LV2 bundle or LV2 URI (default: the Dravelkint
                         plug-in beside this program, in ../lib/vst, or in ~/.vst); PATH may
                         also stand alone
  --strictness N         1 to 10 (default 5): checks that need more are skipped and say so,
                         and some findings are warnings below a level and failures from it
  --seed N               seed of every random value, for reproducing a report (default: a
                         fresh one, shown in the report)
  --only GROUPS          comma-separated groups to run (default: all); loading always runs
  --call-limit SECONDS   longest one call into the plug-in may take before it counts as hung
                         (default 20; opening an editor gets six times as long)
  --timeout SECONDS      time limit of the whole validation (default 1800)
  --json                 one JSON document instead of the report lines
  --save-sequences DIR   keep the calls each check that does not pass made into the plug-in,
                         audio included, in DIR/CHECK.calls; its finding names the file
  --replay FILE          make the calls of FILE into the plug-in PATH again, exactly, in this
                         process, and validate nothing

Each group runs in a freshly started process of its own, so the same seed gives the same
report in either form. A crash, an exception or a call that does not return within the
call limit becomes one FAIL line that names the call, and validation goes on; a plug-in
that is merely slow is no hang, and checks that repeat something stop when their share of
time (1.5 call limits) is spent. What the plug-in prints is kept apart, below the checks.
Every check gives one line: PASS, FAIL, WARN or SKIP, its name and what it found, and
below it, indented, every other thing it found. The editor is opened under a fresh Xvfb where one is installed, otherwise on DISPLAY.

An LV2 plug-in goes through the paper checks first: its data as lilv reads it, against the
LV2 vocabularies installed and against its binary (whose answers are asked in a process
of their own). Then the run-time groups, with the checks marked LV2 in the list below;
grid.in-place is LV2's alone, and an allocation in run fails only where the plug-in claims
lv2:hardRTCapable (a warning otherwise). Its UIs are not opened yet.

Some findings are warnings below a strictness and failures from it: subnormal output and
a missing effFlagsCanReplacing (4), heap allocations in processing or parameter calls and
a uniqueID of 0 (6), texts past their bound but within the 64 bytes hosts commonly give,
non-finite output, a crash or a hang after parameter values outside 0 to 1, a program 0
that does not come back, a latency that changes without audioMasterIOChanged, X errors
from the editor and an open editor that gives no rectangle (7). A VST version other than
2400, state that reads back other values but sounds the same, silence after a burst
that costs more than 1.5 times a normal signal, subnormal or non-finite input that the
plug-in does not survive or recover from, and an LV2 plug-in's controls set outside their
ranges are only ever warnings.

Exit codes: 0 every check ran and none failed, 7 a check failed, 8 the time limit of
--timeout ran out before every check ran (none failed so far), 5 the file is missing or
no plug-in (nothing exported as VSTPluginMain or main), 2 a bad command line, 128 and the
signal's number when a signal stopped it (130 for Ctrl-C): the check running then and the
processes it started are ended, and the report says which checks ran.

Checks (lowest strictness that runs them):
)";

constexpr const char* kList = R"(dravelkint list - list the installed LV2 and VST 2.4 plug-ins

Usage:
  dravelkint list [--format lv2|vst2] [--json]

Shows each plug-in's format, name, audio inputs and outputs, and its URI (LV2) or
library's path (VST 2.4), sorted by format, then name.

LV2 plug-ins are read from the folders of LV2_PATH when it is set, else from the
standard ones (~/.lv2, /usr/local/lib/lv2, /usr/lib/lv2); they are only read, not run.
VST 2.4 plug-ins are the libraries (*.so, in subfolders too) exporting VSTPluginMain or
main in the folders of VST_PATH (separated by ':') when it is set, else in ~/.vst,
/usr/lib/vst, /usr/local/lib/vst and the system's multiarch folder (such as
/usr/lib/x86_64-linux-gnu/vst). Each is opened, to learn its name and channels, in a
process of its own: one that crashes, exits or takes longer than 10 s to open, or that
the system cannot load, is listed with the reason instead of its channels, and the list
goes on. Other files are left out.

Options:
  --format F              list only one format: lv2 or vst2
  --json                  one JSON array instead of the table: format, name, uri or
                          path, inputs, outputs (null when unknown) and problem (only
                          for a plug-in that could not be opened)

Exit codes: 0 when the folders were searched, also when some plug-ins could not be
opened; 2 a bad command line.
)";

// Every check once, with the formats it runs on.
void printChecks() {
    for (const validate::CheckGroup& group : validate::everyGroup())
        for (const validate::Check& check : group.checks) {
            if (check.quiet) continue;
            const char* formats = check.formats == validate::Formats::both  ? "VST LV2"
                                  : check.formats == validate::Formats::lv2 ? "    LV2"
                                                                            : "VST    ";
            std::printf("  %2d  %s  %-30s %s\n", check.strictness, formats, check.id.c_str(), check.about.c_str());
        }
}

}  // namespace

void printHelp(const std::string& command) {
    if (command == "render") {
        std::fputs(kRender, stdout);
        std::fputs(kRenderingOptions, stdout);
        std::fputs(kRenderNotes, stdout);
    } else if (command == "demo") {
        std::fputs(kDemo, stdout);
        std::fputs(kRenderingOptions, stdout);
    } else if (command == "info") {
        std::fputs(kInfo, stdout);
    } else if (command == "list") {
        std::fputs(kList, stdout);
    } else if (command == "validate") {
        std::fputs(kValidate, stdout);
        printChecks();
    } else {
        std::fputs(kOverview, stdout);
    }
}

}  // namespace vsthost
