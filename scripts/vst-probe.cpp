// A small VST 2.4 host of its own, sharing no code with the tool, that looks
// for one run-time fault at a time: a second opinion on the tool's verdicts.
//
//   vst-probe MODE LIBRARY...    one line per library, "LIBRARY: verdict";
//                                exit 1 where the fault shows, 2 where a
//                                library cannot be loaded
//
// The modes (noise is seeded and the same in every run):
//   --split N          32768 frames in blocks of 4096 against blocks of N
//   --two              two instances in turn against each alone
//   --blocks N,N,...   blocks of exactly N frames, then smaller, each buffer
//                      ending at a page no one may touch
//   --rates R,R,...    10 s of noise at each rate
//   --bypass           bypass switched on and off while processing
//   --setup            one instance through six rates and block sizes, off
//                      and on between them
//   --params           every parameter at its extremes, then automated at
//                      random between blocks of 32
//   --state            four draws of random settings saved (as a chunk where
//                      offered) and restored into a fresh instance
//   --programs         each program chosen and asked for
//   --zero-frames      a call of 0 frames after every block
//   --unwritten N,...  as --blocks, outputs filled with a marker before each
//                      call: what processReplacing leaves of it
//
// Each library is loaded and run only in a child process, which writes the
// call it is about to make into memory shared with this process, so that
// its death or a time limit (VST_PROBE_SECONDS, default 60) names that call
// and the two before it. An exception out of a call is named there.
// VST_PROBE_SEED (1) seeds the random choices; VST_PROBE_TWO_BLOCK=random
// has --two cut its blocks at random sizes of 1 to 512.
#include <cxxabi.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// The effect record and the time record, laid out as plug-ins expect them.
struct Effect;
using HostCallback = std::intptr_t (*)(Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using Dispatcher = std::intptr_t (*)(Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using Process = void (*)(Effect*, float**, float**, std::int32_t);
struct Effect {
    std::int32_t magic;
    Dispatcher dispatcher;
    Process process;
    void (*setParameter)(Effect*, std::int32_t, float);
    float (*getParameter)(Effect*, std::int32_t);
    std::int32_t numPrograms, numParams, numInputs, numOutputs, flags;
    std::intptr_t reserved1, reserved2;
    std::int32_t initialDelay, realQualities, offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID, version;
    Process processReplacing;
    void (*processDoubleReplacing)(Effect*, double**, double**, std::int32_t);
    char future[56];
};
static_assert(sizeof(Effect) == 192 && offsetof(Effect, numInputs) == 48 && offsetof(Effect, object) == 96 &&
              offsetof(Effect, processReplacing) == 120);
struct TimeInfo {
    double samplePos, sampleRate, nanoSeconds, ppqPos, tempo, barStartPos, cycleStartPos, cycleEndPos;
    std::int32_t timeSigNumerator, timeSigDenominator, smpteOffset, smpteFrameRate, samplesToNextClock, flags;
};
static_assert(sizeof(TimeInfo) == 88 && offsetof(TimeInfo, flags) == 84);

constexpr std::int32_t kMagic = 0x56737450;  // 'VstP'
constexpr std::int32_t kCanReplacing = 0x10, kProgramChunks = 0x20;
constexpr std::int32_t effOpen = 0, effClose = 1, effSetProgram = 2, effGetProgram = 3, effSetSampleRate = 10,
                       effSetBlockSize = 11, effMainsChanged = 12, effGetChunk = 23, effSetChunk = 24,
                       effSetBypass = 44;
constexpr std::int32_t audioMasterVersion = 1, audioMasterGetTime = 7, audioMasterGetSampleRate = 16,
                       audioMasterGetBlockSize = 17;
constexpr std::int32_t kPpqPosValid = 0x200, kTempoValid = 0x400;
constexpr double kTempo = 120.0;
constexpr float kLoud = 1000.0f;

// Written by the child, read by the parent once the child is gone.
struct Shared {
    char call[160];
    char before[2][160];  // the two calls before it, the latest first
    char verdict[960];
    int finished, fault, unloadable;
};
Shared* shared = nullptr;

void entering(const std::string& call) {
    std::memcpy(shared->before[1], shared->before[0], sizeof shared->call);
    std::memcpy(shared->before[0], shared->call, sizeof shared->call);
    std::snprintf(shared->call, sizeof shared->call, "%s", call.c_str());
}
void say(bool fault, const std::string& verdict) {
    std::snprintf(shared->verdict, sizeof shared->verdict, "%s", verdict.c_str());
    shared->fault = fault;
}
std::string number(double value, const char* format = "%.3g") {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The exception being handled, as "std::bad_alloc" or "std::runtime_error: what".
std::string thrown() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    std::string name = type ? type->name() : "an exception of no known type";
    int status = 0;
    if (char* plain = type ? abi::__cxa_demangle(type->name(), nullptr, nullptr, &status) : nullptr) {
        name = plain;
        std::free(plain);
    }
    try {
        throw;
    } catch (const std::exception& e) {
        if (name != e.what()) name += std::string(": ") + e.what();
    } catch (...) {
    }
    return name;
}

// A call into the plug-in, named first. An exception it lets out ends the
// child at once with that as its verdict: unwinding would run the probe's
// own clean-up against a plug-in in a state no one knows.
template <class Call>
auto calling(const std::string& name, Call call) {
    entering(name);
    try {
        return call();
    } catch (...) {
        say(true, name + " threw " + thrown());
        shared->finished = 1;
        std::fflush(nullptr);
        _exit(0);
    }
}
std::intptr_t dispatch(Effect* effect, const std::string& name, std::int32_t opcode, std::int32_t index = 0,
                       std::intptr_t value = 0, void* pointer = nullptr, float option = 0.0f) {
    return calling(name, [&] { return effect->dispatcher(effect, opcode, index, value, pointer, option); });
}
void setParameter(Effect* effect, std::int32_t index, float value) {
    calling("setParameter(" + std::to_string(index) + ", " + number(value, "%.4g") + ")",
            [&] { effect->setParameter(effect, index, value); });
}
float getParameter(Effect* effect, std::int32_t index) {
    return calling("getParameter(" + std::to_string(index) + ")", [&] { return effect->getParameter(effect, index); });
}

// VST_PROBE_SEED, where a finding should be tried with other random choices.
unsigned seed() {
    const char* text = std::getenv("VST_PROBE_SEED");
    return text && std::strtoul(text, nullptr, 10) > 0 ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 1u;
}

// Seeded white noise in -0.5..0.5, the same for a channel and frame in every run.
float noise(int channel, std::uint64_t frame) {
    std::uint64_t x = (frame + 1) * 0xD1B54A32D192ED03ull ^ static_cast<std::uint64_t>(channel + 7) << 48;
    x ^= x >> 32;
    x *= 0xAEF17502108EF2D9ull;
    x ^= x >> 29;
    x *= 0x9E3779B97F4A7C15ull;
    x ^= x >> 32;
    return static_cast<float>(static_cast<double>(x >> 40) / static_cast<double>(1ull << 24) - 0.5);
}

// A channel buffer whose last float lies just before a page that cannot be
// touched, so that a block of n frames placed at its end is caught reading
// or writing one frame past itself.
float* guardedEnd(std::size_t floats) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t data = (floats * sizeof(float) + page - 1) / page * page;
    auto* base =
        static_cast<char*>(mmap(nullptr, data + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (base == MAP_FAILED) return nullptr;
    mprotect(base + data, page, PROT_NONE);
    return reinterpret_cast<float*>(base + data);
}

struct Instance;
std::vector<Instance*> instances;  // the host callback finds an instance's clock here

struct Instance {
    Effect* effect = nullptr;
    double rate = 44100.0;
    std::int32_t announced = 0;
    bool flush = false;          // blocks at the very end of their buffers, not at the start
    std::uint64_t position = 0;  // frames processed so far: the transport's clock
    std::string stage;           // added to the name of each block's call
    TimeInfo time{};
    std::vector<float*> inputEnds, outputEnds;
    ~Instance() {
        std::erase(instances, this);
        if (!effect) return;
        dispatch(effect, "effMainsChanged(0) to switch off", effMainsChanged);
        dispatch(effect, "effClose", effClose);
    }
};

std::intptr_t hostCallback(Effect* effect, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    static Instance unknown;  // asked before the entry point has answered
    Instance* in = &unknown;
    for (Instance* candidate : instances)
        if (candidate->effect == effect) in = candidate;
    if (opcode == audioMasterGetSampleRate) return static_cast<std::intptr_t>(in->rate);
    if (opcode == audioMasterGetBlockSize) return in->announced;
    if (opcode != audioMasterGetTime) return 0;
    TimeInfo& t = in->time;
    t = {};
    t.samplePos = static_cast<double>(in->position);
    t.sampleRate = in->rate;
    t.tempo = kTempo;
    t.ppqPos = t.samplePos / in->rate * kTempo / 60.0;
    t.barStartPos = std::floor(t.ppqPos / 4.0) * 4.0;
    t.timeSigNumerator = t.timeSigDenominator = 4;
    // The bar-start and time-signature bits may be added from outside.
    const char* extra = std::getenv("VST_PROBE_TIME_FLAGS");
    t.flags = kPpqPosValid | kTempoValid | (extra ? static_cast<std::int32_t>(std::strtol(extra, nullptr, 0)) : 0);
    return reinterpret_cast<std::intptr_t>(&t);
}

const char* library = nullptr;

// The child's instance loaded, opened, set up and switched on; null (the
// reason said, and the library marked unloadable) when that fails.
std::unique_ptr<Instance> openInstance(double rate, std::int32_t announced) {
    entering("dlopen");
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);  // kept: instances may outlive each other
    const auto refuse = [](const std::string& why) {
        shared->unloadable = 1;
        say(false, "cannot be loaded: " + why);
        return nullptr;
    };
    if (!handle) return refuse(dlerror());
    using Entry = Effect* (*)(HostCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(dlsym(handle, "main"));
    if (!entry) return refuse("neither VSTPluginMain nor main is exported");
    auto in = std::make_unique<Instance>();
    in->rate = rate;
    in->announced = announced;
    Effect* effect = calling("VSTPluginMain", [&] { return entry(hostCallback); });
    if (!effect) return refuse("the entry point answered no effect");
    if (effect->magic != kMagic) return refuse("the record lacks its magic number");
    if (!(effect->flags & kCanReplacing) || !effect->processReplacing)
        return refuse("no replacing process (flags " + number(effect->flags, "0x%x") + ")");
    in->effect = effect;
    instances.push_back(in.get());
    for (int c = 0; c < effect->numInputs; ++c) in->inputEnds.push_back(guardedEnd(announced));
    for (int c = 0; c < effect->numOutputs; ++c) in->outputEnds.push_back(guardedEnd(announced));
    dispatch(effect, "effOpen", effOpen);
    dispatch(effect, "effSetSampleRate(" + number(rate, "%g") + ")", effSetSampleRate, 0, 0, nullptr,
             static_cast<float>(rate));
    dispatch(effect, "effSetBlockSize(" + std::to_string(announced) + ")", effSetBlockSize, 0, announced);
    dispatch(effect, "effMainsChanged(1) to switch on", effMainsChanged, 0, 1);
    return in;
}

// What the outputs held, and optionally every sample of each.
// A quiet NaN whose payload no arithmetic makes: an output sample that still
// holds it after a call was never written.
constexpr std::uint32_t kMarkerBits = 0x7fc0'1dea;
bool markOutputs = false;  // --unwritten

struct Heard {
    bool nonFinite = false, keep = false;
    float peak = 0.0f;
    std::vector<std::vector<float>> samples;  // per output channel
    std::vector<std::uint64_t> unwritten;     // marker samples left, per output channel
    std::string loudness() const {
        if (nonFinite) return "NaN/Inf in output";
        return peak > kLoud ? "output above " + number(kLoud, "%g") + " (" + number(peak) + ")" : "";
    }
};

// One call of processReplacing on `count` frames of noise, placed at the
// end of the guarded buffers.
void processBlock(Instance& in, std::int32_t count, Heard& heard) {
    std::vector<float*> inputs, outputs;
    for (std::size_t c = 0; c < in.inputEnds.size(); ++c) {
        inputs.push_back(in.inputEnds[c] - (in.flush ? count : in.announced));
        for (std::int32_t i = 0; i < count; ++i) inputs[c][i] = noise(static_cast<int>(c), in.position + i);
    }
    for (float* end : in.outputEnds)
        outputs.push_back(std::fill_n(end - (in.flush ? count : in.announced), count,
                                      markOutputs ? std::bit_cast<float>(kMarkerBits) : 0.0f) -
                          count);
    calling("processReplacing(" + std::to_string(count) + (count == 1 ? " frame, " : " frames, ") +
                std::to_string(in.announced) + " announced) at frame " + std::to_string(in.position) + in.stage,
            [&] { in.effect->processReplacing(in.effect, inputs.data(), outputs.data(), count); });
    if (heard.keep) heard.samples.resize(outputs.size());
    heard.unwritten.resize(outputs.size());
    for (std::size_t c = 0; c < outputs.size(); ++c) {
        for (std::int32_t i = 0; i < count; ++i) {
            if (markOutputs && std::bit_cast<std::uint32_t>(outputs[c][i]) == kMarkerBits)
                ++heard.unwritten[c];
            else if (!std::isfinite(outputs[c][i]))
                heard.nonFinite = true;
            else
                heard.peak = std::max(heard.peak, std::fabs(outputs[c][i]));
        }
        if (heard.keep) heard.samples[c].insert(heard.samples[c].end(), outputs[c], outputs[c] + count);
    }
    in.position += static_cast<std::uint64_t>(count);
}

Heard render(Instance& in, std::uint64_t frames, std::int32_t block, bool keep) {
    Heard heard;
    heard.keep = keep;
    while (in.position < frames)
        processBlock(in, static_cast<std::int32_t>(std::min<std::uint64_t>(block, frames - in.position)), heard);
    return heard;
}

// Where two renderings differ by more than `tolerance`: the largest
// difference, its frame and channel, and every frame that differs.
struct Difference {
    float largest = 0.0f;
    std::size_t frame = 0, channel = 0;
    std::vector<std::size_t> frames;
};
Difference compare(const Heard& a, const Heard& b, float tolerance) {
    Difference d;
    const std::size_t channels = std::min(a.samples.size(), b.samples.size());
    const std::size_t length = channels == 0 ? 0 : std::min(a.samples[0].size(), b.samples[0].size());
    for (std::size_t i = 0; i < length; ++i) {
        bool differs = false;
        for (std::size_t c = 0; c < channels; ++c) {
            float apart = std::fabs(a.samples[c][i] - b.samples[c][i]);
            if (std::isnan(apart)) apart = INFINITY;
            if (apart > d.largest) {
                d.largest = apart;
                d.frame = i;
                d.channel = c;
            }
            differs = differs || apart > tolerance;
        }
        if (differs) d.frames.push_back(i);
    }
    return d;
}

// "440-441, 881-882, ..." for the first few runs of consecutive frames.
std::string runs(const std::vector<std::size_t>& frames, int shown = 5) {
    std::string text;
    int count = 0;
    for (std::size_t i = 0; i < frames.size();) {
        std::size_t j = i;
        while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
        if (++count <= shown)
            text +=
                (text.empty() ? "" : ", ") + std::to_string(frames[i]) + (j > i ? "-" + std::to_string(frames[j]) : "");
        i = j + 1;
    }
    if (count > shown) text += ", ... (" + std::to_string(count) + " runs)";
    return text;
}

constexpr std::int32_t kAnnounced = 4096;
constexpr std::uint64_t kSplitFrames = 32768;
constexpr std::size_t kSlots = 4, kChannels = 8;  // outputs past the eighth are not compared

// Renderings kept by children for the parent to compare: each run in a
// process of its own, so that "alone" means alone, memory left over by an
// earlier instance included.
struct Take {
    std::size_t channels;
    std::uint64_t frames;
    float peak;
    int nonFinite;
};
Take* takes = nullptr;
float* takeSamples = nullptr;  // [slot][channel][frame]
float* takeChannel(std::size_t slot, std::size_t c) { return takeSamples + (slot * kChannels + c) * kSplitFrames; }

void keep(std::size_t slot, const Heard& heard) {
    Take& t = takes[slot];
    t = {std::min(heard.samples.size(), kChannels), heard.samples.empty() ? 0 : heard.samples[0].size(), heard.peak,
         heard.nonFinite};
    for (std::size_t c = 0; c < t.channels; ++c) std::copy_n(heard.samples[c].data(), t.frames, takeChannel(slot, c));
}
Heard taken(std::size_t slot) {
    const Take& t = takes[slot];
    Heard heard;
    heard.peak = t.peak;
    heard.nonFinite = t.nonFinite != 0;
    for (std::size_t c = 0; c < t.channels; ++c)
        heard.samples.emplace_back(takeChannel(slot, c), takeChannel(slot, c) + t.frames);
    return heard;
}

struct Verdict {
    std::string text;
    bool fault = false, unloadable = false;
};
Verdict isolated(const std::function<void()>& body, double seconds);

// --split: the same noise in blocks of 4096 twice, and in blocks of N, with
// 4096 announced each time; a block-size-blind plug-in sounds the same.
Verdict split(std::int32_t n, double seconds) {
    for (std::size_t r = 0; r < 3; ++r) {
        const Verdict v = isolated(
            [&] {
                std::unique_ptr<Instance> in = openInstance(44100.0, kAnnounced);
                if (in) keep(r, render(*in, kSplitFrames, r < 2 ? kAnnounced : n, true));
            },
            seconds);
        if (!v.text.empty()) return v;
    }
    const Heard runsOf[3] = {taken(0), taken(1), taken(2)};
    for (const Heard& h : runsOf)
        if (!h.loudness().empty()) return {h.loudness(), true};
    if (runsOf[0].samples.empty()) return {"no audio output"};
    const float peak = runsOf[0].peak;
    if (const Difference same = compare(runsOf[0], runsOf[1], 0.0f); same.largest > 0.0f)
        return {"not deterministic: two runs in blocks of 4096 differ by " + number(same.largest)};
    const Difference d = compare(runsOf[0], runsOf[2], 1e-4f * peak);
    if (d.frames.empty())
        return {"blocks of " + std::to_string(n) + " sound the same (largest difference " + number(d.largest) +
                ", peak " + number(peak) + ")"};
    // Within 2 frames of the first or last frame of its block, the stream's
    // short last block included.
    const auto nearBoundary = [n](std::size_t f) {
        const std::size_t start = f - f % static_cast<std::size_t>(n);
        const std::size_t last = std::min<std::size_t>(start + static_cast<std::size_t>(n), kSplitFrames) - 1;
        return f - start <= 2 || last - f <= 2;
    };
    const auto near = std::count_if(d.frames.begin(), d.frames.end(), nearBoundary);
    const bool persists = d.frames.back() >= kSplitFrames / 2;
    const bool clusters = 2 * near > static_cast<long>(d.frames.size());
    return {"blocks of " + std::to_string(n) + " differ by up to " + number(d.largest) + " (peak " + number(peak) +
                ") at frame " + std::to_string(d.frame) + " channel " + std::to_string(d.channel) + "; " +
                std::to_string(d.frames.size()) + " frames differ: " + runs(d.frames) + "; " + std::to_string(near) +
                " within 2 frames of a block boundary; " + (persists ? "still past" : "none past") + " frame 16384",
            clusters || persists};
}

// --two: two instances fed the same noise block by block in turn should each
// sound as one alone does. The blocks are of 512 frames, or, random, of the
// same seeded sizes in every run: some plug-ins' instances meet only in
// state kept across blocks of other sizes.
Verdict two(bool random, double seconds) {
    constexpr std::uint64_t kFrames = 16384;
    constexpr std::int32_t kBlock = 512;
    std::vector<std::int32_t> cuts;
    std::mt19937 draw(seed());
    for (std::uint64_t done = 0; done < kFrames; done += static_cast<std::uint64_t>(cuts.back()))
        cuts.push_back(static_cast<std::int32_t>(std::min<std::uint64_t>(
            random ? std::uniform_int_distribution<std::int32_t>(1, kBlock)(draw) : kBlock, kFrames - done)));
    for (std::size_t r = 0; r < 2; ++r) {
        const Verdict v = isolated(
            [&] {
                std::unique_ptr<Instance> in = openInstance(44100.0, kBlock);
                if (!in) return;
                Heard heard;
                heard.keep = true;
                for (const std::int32_t cut : cuts) processBlock(*in, cut, heard);
                keep(r, heard);
            },
            seconds);
        if (!v.text.empty()) return v;
    }
    const Verdict v = isolated(
        [&] {
            std::unique_ptr<Instance> first = openInstance(44100.0, kBlock);
            std::unique_ptr<Instance> second = first ? openInstance(44100.0, kBlock) : nullptr;
            if (!second) return;
            Heard together[2];
            together[0].keep = together[1].keep = true;
            for (const std::int32_t cut : cuts) {
                processBlock(*first, cut, together[0]);
                processBlock(*second, cut, together[1]);
            }
            keep(2, together[0]);
            keep(3, together[1]);
        },
        seconds);
    if (!v.text.empty()) return v;
    const Heard alone[2] = {taken(0), taken(1)}, together[2] = {taken(2), taken(3)};
    const char* whose[] = {"alone", "alone, a second time", "first instance in turn", "second instance in turn"};
    const Heard* all[] = {&alone[0], &alone[1], &together[0], &together[1]};
    for (std::size_t h = 0; h < 4; ++h)
        if (!all[h]->loudness().empty()) return {std::string(whose[h]) + ": " + all[h]->loudness(), true};
    if (alone[0].samples.empty()) return {"no audio output"};
    if (const Difference same = compare(alone[0], alone[1], 0.0f); same.largest > 0.0f)
        return {"not deterministic: two instances alone differ by " + number(same.largest)};
    Verdict verdict{random ? "in turn, random blocks of 1 to 512 (seed " + std::to_string(seed()) + "): "
                           : "in turn, blocks of 512: "};
    for (int i = 0; i < 2; ++i) {
        const Difference d = compare(alone[0], together[i], 0.0f);
        verdict.fault = verdict.fault || !d.frames.empty();
        verdict.text +=
            (i ? "; " : "") + std::string(i ? "second" : "first") + " instance " +
            (d.frames.empty() ? "sounds as alone"
                              : "differs from alone by up to " + number(d.largest) + " (peak " + number(alone[0].peak) +
                                    ") at frame " + std::to_string(d.frame) + ", first at frame " +
                                    std::to_string(d.frames[0]) + ", " + std::to_string(d.frames.size()) + " frames");
    }
    return verdict;
}

// --blocks: N announced, four blocks of exactly N frames, then random sizes
// below N, every block flush against its buffers' guard pages.
void blocks(std::int32_t n) {
    std::unique_ptr<Instance> in = openInstance(44100.0, n);
    if (!in) return;
    in->flush = true;
    Heard heard;
    for (int b = 0; b < 4; ++b) processBlock(*in, n, heard);
    std::mt19937 random(static_cast<unsigned>(n));
    for (int b = 0; b < 16 && n > 1; ++b)
        processBlock(*in, std::uniform_int_distribution<std::int32_t>(1, n - 1)(random), heard);
    if (in->outputEnds.empty()) return say(false, "no audio output");
    if (markOutputs) {
        // The outputs left with marker samples, as runs of channel numbers.
        std::vector<std::size_t> left;
        std::uint64_t most = 0;
        for (std::size_t c = 0; c < heard.unwritten.size(); ++c)
            if (heard.unwritten[c] > 0) left.push_back(c + 1), most = std::max(most, heard.unwritten[c]);
        if (!left.empty())
            return say(true, "outputs " + runs(left) + " (" + std::to_string(left.size()) + " of " +
                                 std::to_string(heard.unwritten.size()) + ") left unwritten, up to " +
                                 std::to_string(most) + " samples each");
    }
    say(!heard.loudness().empty(), heard.loudness());
}

// --rates: 10 s of noise in blocks of 512 at one rate.
void rates(double rate) {
    std::unique_ptr<Instance> in = openInstance(rate, 512);
    if (!in) return;
    const Heard heard = render(*in, static_cast<std::uint64_t>(10.0 * rate), 512, false);
    say(!heard.loudness().empty(), heard.loudness());
}

// --bypass: switched to bypass and back while processing noise, as hosts
// that offer it do; the answers said.
void bypass() {
    std::unique_ptr<Instance> in = openInstance(44100.0, 512);
    if (!in) return;
    Heard heard;
    processBlock(*in, 512, heard);
    const std::intptr_t on = dispatch(in->effect, "effSetBypass(1)", effSetBypass, 0, 1);
    processBlock(*in, 512, heard);
    const std::intptr_t off = dispatch(in->effect, "effSetBypass(0)", effSetBypass, 0, 0);
    processBlock(*in, 512, heard);
    say(!heard.loudness().empty(), "effSetBypass answers " + std::to_string(on) + " on and " + std::to_string(off) +
                                       " off" + (heard.loudness().empty() ? "" : "; " + heard.loudness()));
}

// --setup: one instance switched off, set to the next rate and block size
// and on again between steps of four blocks each, as hosts do when their
// audio settings change.
struct Step {
    double rate;
    std::int32_t block;
};
constexpr Step kSteps[] = {{96000.0, 4096}, {22050.0, 4096}, {22050.0, 64},
                           {88200.0, 64},   {44100.0, 1024}, {48000.0, 16}};
void setup() {
    std::unique_ptr<Instance> in = openInstance(kSteps[0].rate, kSteps[0].block);
    if (!in) return;
    Effect* effect = in->effect;
    std::string fault, fine;
    for (std::size_t s = 0; s < std::size(kSteps); ++s) {
        const Step& step = kSteps[s];
        const std::string named = number(step.rate, "%g") + "/" + std::to_string(step.block);
        in->stage = " in step " + std::to_string(s + 1) + " (" + named + ")";
        if (s > 0) {
            dispatch(effect, "effMainsChanged(0)" + in->stage, effMainsChanged);
            if (step.rate != in->rate) {
                in->rate = step.rate;
                dispatch(effect, "effSetSampleRate(" + number(step.rate, "%g") + ")" + in->stage, effSetSampleRate, 0,
                         0, nullptr, static_cast<float>(step.rate));
            }
            if (step.block != in->announced) {
                in->announced = step.block;  // the buffers hold the first and largest
                dispatch(effect, "effSetBlockSize(" + std::to_string(step.block) + ")" + in->stage, effSetBlockSize, 0,
                         step.block);
            }
            dispatch(effect, "effMainsChanged(1)" + in->stage, effMainsChanged, 0, 1);
        }
        Heard heard;
        for (int b = 0; b < 4; ++b) processBlock(*in, step.block, heard);
        if (fault.empty() && !heard.loudness().empty()) fault = heard.loudness() + in->stage;
        fine += (fine.empty() ? "fine through " : ", ") + named;
    }
    in->stage.clear();
    say(!fault.empty(), fault.empty() ? fine : fault);
}

// --params, first part: all parameters at 0, then at 1, then each alone at
// 0 and at 1 with the others at the values they started with, four blocks
// of 512 each time.
void extremes() {
    std::unique_ptr<Instance> in = openInstance(44100.0, 512);
    if (!in) return;
    Effect* effect = in->effect;
    const std::int32_t count = effect->numParams;
    if (count <= 0) return say(false, "no parameters");
    std::vector<float> start;
    for (std::int32_t i = 0; i < count; ++i) start.push_back(getParameter(effect, i));
    std::string fault;
    const auto play = [&](const std::string& with) {
        Heard heard;
        for (int b = 0; b < 4; ++b) processBlock(*in, 512, heard);
        if (fault.empty() && !heard.loudness().empty()) fault = heard.loudness() + " with " + with;
    };
    for (const float value : {0.0f, 1.0f}) {
        for (std::int32_t i = 0; i < count; ++i) setParameter(effect, i, value);
        play("all parameters at " + number(value, "%g"));
    }
    for (std::int32_t i = 0; i < count; ++i) setParameter(effect, i, start[static_cast<std::size_t>(i)]);
    for (std::int32_t i = 0; i < count; ++i) {
        for (const float value : {0.0f, 1.0f}) {
            setParameter(effect, i, value);
            play("parameter " + std::to_string(i) + " alone at " + number(value, "%g"));
        }
        setParameter(effect, i, start[static_cast<std::size_t>(i)]);
    }
    say(!fault.empty(), fault.empty() ? "fine at 0 and 1, all and each of " + std::to_string(count) + " alone" : fault);
}

// --params, second part: 2 s in blocks of 32, one to three parameters set
// to random values before each block, as a host plays back automation.
void automation() {
    constexpr std::uint64_t kFrames = 88200;
    std::unique_ptr<Instance> in = openInstance(44100.0, 32);
    if (!in) return;
    Effect* effect = in->effect;
    const std::int32_t count = effect->numParams;
    if (count <= 0) return say(false, "no parameters");
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::int32_t> many(1, 3), which(0, count - 1);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    Heard heard;
    while (in->position < kFrames) {
        for (std::int32_t n = many(random); n > 0; --n) {
            const std::int32_t i = which(random);
            setParameter(effect, i, value(random));
        }
        const std::uint64_t at = in->position;
        processBlock(*in, static_cast<std::int32_t>(std::min<std::uint64_t>(32, kFrames - at)), heard);
        if (!heard.loudness().empty())
            return say(true, heard.loudness() + " from the block at frame " + std::to_string(at) + " (seed " +
                                 std::to_string(seed()) + ")");
    }
    say(false, "fine through " + std::to_string(kFrames) + " frames (seed " + std::to_string(seed()) + ")");
}

// --state, one draw: random settings played for a while and saved, as a bank
// chunk where the plug-in keeps its programs as chunks, else as parameter
// values, and restored into a fresh instance. That one should read as saved
// and sound as a fresh instance given the same settings: the saved one's
// own past (a delay line, a tail) is no part of what a host restores.
void state(unsigned draw) {
    constexpr std::uint64_t kFrames = 32768, kStart = 1u << 20;
    constexpr std::intptr_t kLargest = std::intptr_t{1} << 30;  // more than a host could store
    std::unique_ptr<Instance> source = openInstance(44100.0, 512);
    if (!source) return;
    Effect* saved = source->effect;
    const std::int32_t count = saved->numParams;
    std::mt19937 random(draw);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::vector<float> drawn, values;
    for (std::int32_t i = 0; i < count; ++i) drawn.push_back(value(random));
    for (std::int32_t i = 0; i < count; ++i) setParameter(saved, i, drawn[static_cast<std::size_t>(i)]);
    Heard ignored;
    for (int b = 0; b < 8; ++b) processBlock(*source, 512, ignored);
    for (std::int32_t i = 0; i < count; ++i) values.push_back(getParameter(saved, i));
    const bool chunks = (saved->flags & kProgramChunks) != 0;
    std::vector<char> chunk;
    std::string how = "as parameter values";
    if (chunks) {
        void* data = nullptr;
        const std::intptr_t size = dispatch(saved, "effGetChunk(bank)", effGetChunk, 0, 0, &data);
        if (size <= 0 || !data || size > kLargest)
            return say(true, "programs are chunks, but effGetChunk answers " + std::to_string(size) + " bytes at " +
                                 (data ? "an address" : "no address"));
        chunk.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);  // a host keeps a copy
        how = "as a bank chunk of " + std::to_string(size) + " bytes";
    }
    source.reset();
    std::unique_ptr<Instance> target = openInstance(44100.0, 512);
    if (!target) return;
    Effect* restored = target->effect;
    dispatch(restored, "effMainsChanged(0) before the restore", effMainsChanged);
    if (chunks)
        dispatch(restored, "effSetChunk(bank, " + std::to_string(chunk.size()) + " bytes)", effSetChunk, 0,
                 static_cast<std::intptr_t>(chunk.size()), chunk.data());
    else
        for (std::int32_t i = 0; i < count; ++i) setParameter(restored, i, values[static_cast<std::size_t>(i)]);
    dispatch(restored, "effMainsChanged(1) after the restore", effMainsChanged, 0, 1);
    std::unique_ptr<Instance> reference = openInstance(44100.0, 512);
    if (!reference) return;
    for (std::int32_t i = 0; i < count; ++i) setParameter(reference->effect, i, drawn[static_cast<std::size_t>(i)]);
    // The restored one's parameters against those saved, "" where they agree.
    const auto readBack = [&] {
        std::string otherwise;
        int others = 0;
        for (std::int32_t i = 0; i < count; ++i) {
            const float kept = values[static_cast<std::size_t>(i)];
            const float is = getParameter(restored, i);
            if (std::fabs(kept - is) <= 1e-4f) continue;
            if (++others <= 4)
                otherwise += (otherwise.empty() ? "" : ", ") + std::to_string(i) + " (" + number(kept, "%.5g") +
                             " saved, " + number(is, "%.5g") + " restored)";
        }
        if (others > 4) otherwise += ", ... (" + std::to_string(others) + " parameters)";
        return otherwise;
    };
    // Right after the restore, where a host shows them, and once it has
    // played, for a plug-in that takes its state in the next block.
    const std::string atOnce = readBack();
    // One after the other, so that instances that share state cannot blur the answer.
    Heard heard[2];
    Instance* both[2] = {reference.get(), target.get()};
    for (int k = 0; k < 2; ++k) {
        both[k]->position = kStart;
        heard[k].keep = true;
        while (both[k]->position < kStart + kFrames) processBlock(*both[k], 512, heard[k]);
    }
    for (const Heard& h : heard)
        if (!h.loudness().empty()) return say(true, "saved " + how + ": " + h.loudness());
    const Difference d = compare(heard[0], heard[1], 1e-4f * heard[0].peak);
    std::string text = "saved " + how + ", restored: ";
    if (d.frames.empty())
        text += "sounds the same (largest difference " + number(d.largest) + ", peak " + number(heard[0].peak) + ")";
    else
        text += "sounds otherwise by up to " + number(d.largest) + " (peak " + number(heard[0].peak) + ") at frame " +
                std::to_string(d.frame) + " channel " + std::to_string(d.channel) + ", " +
                std::to_string(d.frames.size()) + " frames";
    const std::string afterwards = readBack();
    if (!atOnce.empty())
        text += "; parameters read otherwise right after the restore: " + atOnce +
                (afterwards.empty() ? " (as saved once it has played)" : "");
    else if (!afterwards.empty())
        text += "; parameters read otherwise once it has played: " + afterwards;
    say(!d.frames.empty() || !atOnce.empty() || !afterwards.empty(), text);
}

// --programs: each of the first 16 programs chosen, then asked for.
void programs() {
    std::unique_ptr<Instance> in = openInstance(44100.0, 512);
    if (!in) return;
    const std::int32_t count = std::min(in->effect->numPrograms, 16);
    if (count <= 0) return say(false, "no programs");
    std::string wrong;
    int wrongs = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        dispatch(in->effect, "effSetProgram(" + std::to_string(i) + ")", effSetProgram, 0, i);
        const std::intptr_t answer =
            dispatch(in->effect, "effGetProgram after program " + std::to_string(i), effGetProgram);
        if (answer != i && ++wrongs <= 4)
            wrong += (wrong.empty() ? "effGetProgram answers " : ", ") + std::to_string(answer) + " after program " +
                     std::to_string(i) + " was chosen";
    }
    if (wrongs > 4) wrong += ", ... (" + std::to_string(wrongs) + " of " + std::to_string(count) + " programs)";
    const std::string all = count == 1 ? "its one program" : "each of programs 0 to " + std::to_string(count - 1);
    say(wrongs > 0, wrongs > 0 ? wrong : "effGetProgram answers " + all + " as chosen");
}

// --zero-frames: a call of no frames after each of 50 blocks of 512, as some
// hosts make to pass parameter changes while nothing plays.
void zeroFrames() {
    std::unique_ptr<Instance> in = openInstance(44100.0, 512);
    if (!in) return;
    Heard heard;
    for (int b = 0; b < 50; ++b) {
        processBlock(*in, 512, heard);
        processBlock(*in, 0, heard);
    }
    say(!heard.loudness().empty(),
        heard.loudness().empty() ? "fine through 50 blocks of 512, each followed by 0 frames" : heard.loudness());
}

// What a child wrote, copied to the log; its last line that says anything
// (at most 120 characters) is returned.
std::string passOn(FILE* said) {
    if (!said) return "";
    std::string text;
    char chunk[4096];
    lseek(fileno(said), 0, SEEK_SET);
    for (ssize_t got; (got = read(fileno(said), chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(got));
    std::fclose(said);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return "";
    const std::size_t newline = text.find_last_of('\n', end);
    const std::size_t from = newline == std::string::npos ? 0 : newline + 1;
    const std::string line = text.substr(from, end + 1 - from);
    return line.size() > 120 ? line.substr(0, 117) + "..." : line;
}

// `body` in a child process of its own: its verdict, or how it died.
Verdict isolated(const std::function<void()>& body, double seconds) {
    *shared = {};
    entering("the probe's own set-up");
    // The child's output is kept to quote the C library's last words on an
    // abort (a damaged heap, a failed assertion) and then goes with the log.
    FILE* said = std::tmpfile();
    std::fflush(nullptr);  // or the child would write what is buffered here once more
    const pid_t child = fork();
    if (child < 0) {
        if (said) std::fclose(said);
        return {"not probed: fork failed"};
    }
    if (child == 0) {
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (said) dup2(fileno(said), STDERR_FILENO);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        setenv("LIBC_FATAL_STDERR_", "1", 1);  // not the terminal
        body();
        shared->finished = 1;
        std::fflush(nullptr);
        _exit(0);  // no plug-in's exit handlers: what they do is not probed
    }
    setpgid(child, child);
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    bool hung = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds(0)) {
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            hung = true;
            break;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        sigtimedwait(&chld, nullptr, &wait);
    }
    const std::string lastWords = passOn(said);
    std::string before;
    for (const char* call : {shared->before[1], shared->before[0]})
        if (*call != '\0') before += (before.empty() ? "; the calls before: " : " | ") + std::string(call);
    if (hung) return {"hung in " + std::string(shared->call) + before, true};
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        std::string how = name ? "SIG" + std::string(name) : "signal " + std::to_string(WTERMSIG(status));
        if (WTERMSIG(status) == SIGABRT && !lastWords.empty()) how += ": \"" + lastWords + "\"";
        return {"crashed in " + std::string(shared->call) + " (" + how + ")" + before, true};
    }
    if (!shared->finished || WEXITSTATUS(status) != 0)
        return {
            "exited in " + std::string(shared->call) + " (status " + std::to_string(WEXITSTATUS(status)) + ")" + before,
            true};
    return {shared->verdict, shared->fault != 0, shared->unloadable != 0};
}

// --blocks and --rates: one child per size or rate, the faulty named first.
Verdict eachOf(const std::vector<long>& values, const char* unit, const std::function<void(long)>& body,
               double seconds) {
    Verdict all;
    std::string fine;
    for (const long value : values) {
        const Verdict v = isolated([&] { body(value); }, seconds);
        if (v.unloadable) return v;
        if (v.text.empty()) {
            fine += (fine.empty() ? "" : ", ") + std::to_string(value);
            continue;
        }
        all.text += (all.text.empty() ? "" : "; ") + std::to_string(value) + unit + ": " + v.text;
        all.fault = all.fault || v.fault;
    }
    if (!fine.empty()) all.text += (all.text.empty() ? "fine at " : "; fine at ") + fine + unit;
    return all;
}

// --params and --state: one child per named part, each named in the verdict.
Verdict eachPart(const std::vector<std::pair<std::string, std::function<void()>>>& parts, double seconds) {
    Verdict all;
    for (const auto& [name, body] : parts) {
        const Verdict v = isolated(body, seconds);
        if (v.unloadable) return v;
        all.text += (all.text.empty() ? "" : "; ") + name + ": " + v.text;
        all.fault = all.fault || v.fault;
    }
    return all;
}

// "512,1465" as numbers, empty when any is not a positive whole number.
std::vector<long> numbers(const char* list) {
    std::vector<long> values;
    for (const char* at = list; *at != '\0';) {
        char* end = nullptr;
        const long value = std::strtol(at, &end, 10);
        if (end == at || value <= 0 || value > (1 << 24) || (*end != ',' && *end != '\0')) return {};
        values.push_back(value);
        at = *end == ',' ? end + 1 : end;
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool listed = mode == "--split" || mode == "--blocks" || mode == "--rates" || mode == "--unwritten";
    const std::vector<long> values = listed && argc > 2 ? numbers(argv[2]) : std::vector<long>{};
    const int first = listed ? 3 : 2;
    // --split's blocks lie within the 4096 frames announced.
    const bool splitBad = mode == "--split" && (values.size() != 1 || values[0] > kAnnounced);
    const bool plain = mode == "--two" || mode == "--bypass" || mode == "--setup" || mode == "--params" ||
                       mode == "--state" || mode == "--programs" || mode == "--zero-frames";
    const char* twoBlock = std::getenv("VST_PROBE_TWO_BLOCK");
    const bool randomCuts = twoBlock && std::strcmp(twoBlock, "random") == 0;
    const bool twoBad = twoBlock && *twoBlock != '\0' && !randomCuts && std::strcmp(twoBlock, "512") != 0;
    if ((listed && values.empty()) || splitBad || (!listed && !plain) || twoBad || argc <= first) {
        std::fprintf(stderr,
                     "usage: vst-probe --split N (N <= 4096) | --two | --blocks N,N,... | --rates R,R,... | --bypass "
                     "| --setup | --params | --state | --programs | --zero-frames | --unwritten N,N,... LIBRARY...\n"
                     "       (VST_PROBE_TWO_BLOCK is 512 or random; VST_PROBE_SEED a positive number)\n");
        return 2;
    }
    const char* limit = std::getenv("VST_PROBE_SECONDS");
    const double seconds = limit && std::atof(limit) > 0.0 ? std::atof(limit) : 60.0;
    shared =
        static_cast<Shared*>(mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) {
        std::perror("vst-probe: mmap");
        return 2;
    }
    takes = static_cast<Take*>(mmap(nullptr, kSlots * sizeof(Take) + kSlots * kChannels * kSplitFrames * sizeof(float),
                                    PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (takes == MAP_FAILED) {
        std::perror("vst-probe: mmap");
        return 2;
    }
    takeSamples = reinterpret_cast<float*>(takes + kSlots);
    // SIGCHLD stays blocked so that the wait for a child can time out on it.
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, nullptr);
    int code = 0;
    for (int a = first; a < argc; ++a) {
        // A bare name is a file here, not one for the loader to search its path for.
        const std::string path =
            std::string(argv[a]).find('/') == std::string::npos ? "./" + std::string(argv[a]) : argv[a];
        library = path.c_str();
        Verdict verdict;
        markOutputs = mode == "--unwritten";
        if (mode == "--blocks" || mode == "--unwritten")
            verdict = eachOf(
                values, " frames", [](long n) { blocks(static_cast<std::int32_t>(n)); }, seconds);
        else if (mode == "--rates")
            verdict = eachOf(
                values, " Hz", [](long rate) { rates(static_cast<double>(rate)); }, seconds);
        else if (mode == "--bypass")
            verdict = isolated(bypass, seconds);
        else if (mode == "--setup")
            verdict = isolated(setup, seconds);
        else if (mode == "--programs")
            verdict = isolated(programs, seconds);
        else if (mode == "--zero-frames")
            verdict = isolated(zeroFrames, seconds);
        else if (mode == "--params")
            verdict = eachPart({{"extremes", extremes}, {"automation", automation}}, seconds);
        else if (mode == "--state") {
            std::vector<std::pair<std::string, std::function<void()>>> draws;
            for (unsigned d = 0; d < 4; ++d)
                draws.emplace_back("draw " + std::to_string(d + 1) + " (seed " + std::to_string(seed() + d) + ")",
                                   [d] { state(seed() + d); });
            verdict = eachPart(draws, seconds);
        } else
            verdict = mode == "--two" ? two(randomCuts, seconds) : split(static_cast<std::int32_t>(values[0]), seconds);
        code = std::max(code, verdict.unloadable ? 2 : verdict.fault ? 1 : 0);
        std::printf("%s: %s\n", argv[a], verdict.text.c_str());
        std::fflush(stdout);
    }
    return code;
}
