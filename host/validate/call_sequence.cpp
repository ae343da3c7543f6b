#include "call_sequence.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "frame/opcodes.h"
#include "guarded_buffers.h"
#include "host/plugin/plugin_instance.h"
#include "host/plugin/plugin_module.h"
#include "host/text/failure.h"
#include "plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr const char* kFirstLine = "# dravelkint call sequence 1";
// A chunk larger than this is not something a host stores.
constexpr std::intptr_t kLargestChunk = std::intptr_t{1} << 30;

CallSequence* current = nullptr;

template <typename Word>
void appendHex(std::string& line, Word word) {
    char text[2 * sizeof(Word) + 2];
    std::snprintf(text, sizeof text, " %0*llx", static_cast<int>(2 * sizeof(Word)),
                  static_cast<unsigned long long>(word));
    line += text;
}

template <typename Sample, typename Word>
void appendSamples(std::string& line, const void* const* audio, std::int32_t channels, std::int32_t frames) {
    for (std::int32_t c = 0; c < channels; ++c)
        for (std::int32_t i = 0; i < frames; ++i) {
            Word word;
            std::memcpy(&word, &static_cast<const Sample*>(audio[c])[i], sizeof word);
            appendHex(line, word);
        }
}

std::uint32_t floatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Failure notASequence(const std::string& file, const std::string& why) {
    return Failure(FailureKind::usage, "'" + file + "' is no call sequence the validator wrote: " + why);
}

}  // namespace

CallSequence::CallSequence(const std::string& path, const std::string& heading)
    : path_(path), file(std::fopen(path.c_str(), "w")) {
    if (file == nullptr) throw Failure(FailureKind::output, "cannot write the call sequence '" + path + "'");
    std::fprintf(file, "%s\n# %s\n", kFirstLine, heading.c_str());
    std::fflush(file);
}

CallSequence::~CallSequence() {
    if (current == this) current = nullptr;
    std::fclose(file);
}

CallSequence* CallSequence::active() { return current; }
void CallSequence::setActive(CallSequence* sequence) { current = sequence; }

void CallSequence::record(int instance, const PluginCall& call, std::int32_t inputs, const void* const* audio) {
    using Kind = PluginCall::Kind;
    std::string line = std::to_string(instance);
    switch (call.kind) {
        case Kind::entry:
        case Kind::run: line += " open"; break;
        case Kind::dispatch:
            line += " dispatch " + std::to_string(call.opcode) + " " + std::to_string(call.index) + " " +
                    std::to_string(call.value);
            appendHex(line, floatBits(call.opt));
            if (call.ptr == nullptr) {
                line += " -";
            } else if (call.opcode == effSetChunk && call.value > 0 && call.value <= kLargestChunk) {
                line += " bytes";
                const auto* bytes = static_cast<const unsigned char*>(call.ptr);
                for (std::intptr_t i = 0; i < call.value; ++i) appendHex(line, bytes[i]);
            } else {
                line += " buffer";
            }
            break;
        case Kind::setParameter:
            line += " set " + std::to_string(call.index);
            appendHex(line, floatBits(call.opt));
            break;
        case Kind::getParameter: line += " get " + std::to_string(call.index); break;
        case Kind::process:
        case Kind::processReplacing:
        case Kind::processDoubleReplacing: {
            const bool twice = call.kind == Kind::processDoubleReplacing;
            line += std::string(call.kind == Kind::process ? " process "
                                : twice                    ? " processDouble "
                                                           : " processReplacing ") +
                    std::to_string(call.frames) + " " + std::to_string(audio != nullptr ? inputs : 0);
            if (audio != nullptr && call.frames > 0) {
                if (twice)
                    appendSamples<double, std::uint64_t>(line, audio, inputs, call.frames);
                else
                    appendSamples<float, std::uint32_t>(line, audio, inputs, call.frames);
            }
            break;
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
    // Before the call: the process may not outlive it.
    std::fflush(file);
}

std::string sequencePath(const std::string& directory, const std::string& checkId) {
    return directory + "/" + checkId + ".calls";
}

namespace {

struct Replayed {
    std::unique_ptr<ValidatorHost> host = std::make_unique<ValidatorHost>();
    std::unique_ptr<PluginInstance> instance;
    bool openSent = false;  // the instance sends its own effOpen when made
};

template <typename Word>
Word hexWord(std::istringstream& fields, const std::string& file) {
    std::string text;
    if (!(fields >> text)) throw notASequence(file, "a line ends early");
    return static_cast<Word>(std::stoull(text, nullptr, 16));
}

float hexFloat(std::istringstream& fields, const std::string& file) {
    const auto bits = hexWord<std::uint32_t>(fields, file);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <typename Sample, typename Word>
std::vector<std::vector<Sample>> samples(std::istringstream& fields, std::int32_t channels, std::int32_t frames,
                                         const std::string& file) {
    std::vector<std::vector<Sample>> audio(static_cast<std::size_t>(std::max(channels, 1)),
                                           std::vector<Sample>(static_cast<std::size_t>(std::max(frames, 1))));
    for (std::int32_t c = 0; c < channels; ++c)
        for (std::int32_t i = 0; i < frames; ++i) {
            const Word word = hexWord<Word>(fields, file);
            std::memcpy(&audio[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)], &word, sizeof word);
        }
    return audio;
}

template <typename Sample>
std::vector<Sample*> pointersTo(std::vector<std::vector<Sample>>& audio) {
    std::vector<Sample*> pointers;
    for (auto& channel : audio) pointers.push_back(channel.data());
    return pointers;
}

void replayProcess(AEffect* effect, const std::string& kind, std::istringstream& fields, const std::string& file) {
    std::int32_t frames = 0;
    std::int32_t channels = 0;
    if (!(fields >> frames >> channels) || frames < 0 || channels < 0 || channels > 1024)
        throw notASequence(file, "a block without its size");
    const std::int32_t outputs = std::max(effect->numOutputs, 0);
    if (kind == "processDouble") {
        auto in = samples<double, std::uint64_t>(fields, channels, frames, file);
        std::vector<std::vector<double>> out(static_cast<std::size_t>(std::max(outputs, 1)),
                                             std::vector<double>(static_cast<std::size_t>(std::max(frames, 1))));
        effect->processDoubleReplacing(effect, pointersTo(in).data(), pointersTo(out).data(), frames);
        return;
    }
    // As grid.block-sizes gives them: a read past the block crashes here too.
    const auto recorded = samples<float, std::uint32_t>(fields, channels, frames, file);
    GuardedBuffers in(channels, frames);
    for (std::int32_t c = 0; c < channels; ++c)
        std::copy_n(recorded[static_cast<std::size_t>(c)].data(), frames, in.channel(c));
    GuardedBuffers out(outputs, frames);
    if (kind == "process")
        effect->process(effect, in.pointers(), out.pointers(), frames);
    else
        effect->processReplacing(effect, in.pointers(), out.pointers(), frames);
}

}  // namespace

void replaySequence(const std::string& file, const std::string& pluginPath, std::FILE* out) {
    std::ifstream in(file);
    if (!in) throw Failure(FailureKind::input, "cannot read the call sequence '" + file + "'");
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine)
        throw notASequence(file, "its first line is not \"" + std::string(kFirstLine) + "\"");
    const PluginModule module(pluginPath);
    std::map<int, Replayed> instances;
    // Zeroed room for whatever a call writes or reads through its pointer.
    alignas(16) static char buffer[1 << 16];
    long calls = 0;
    long skipped = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            if (line.size() > 2) std::fprintf(out, "Replaying the calls of %s\n", line.c_str() + 2);
            // Said before the calls: one of them may end the process.
            std::fflush(out);
            continue;
        }
        std::istringstream fields(line);
        int number = 0;
        std::string kind;
        if (!(fields >> number >> kind)) throw notASequence(file, "a line without an instance and a call");
        Replayed& r = instances[number];
        if (kind == "open") {
            r.instance = std::make_unique<PluginInstance>(module, *r.host);
            ++calls;
            continue;
        }
        if (!r.instance || r.instance->effect() == nullptr) throw notASequence(file, "a call to an instance not open");
        AEffect* effect = r.instance->effect();
        ++calls;
        if (kind == "dispatch") {
            std::int32_t opcode = 0, index = 0;
            long long value = 0;
            if (!(fields >> opcode >> index >> value)) throw notASequence(file, "a dispatch without its arguments");
            const float opt = hexFloat(fields, file);
            std::string ptr;
            fields >> ptr;
            if (opcode == effOpen && !r.openSent) {
                r.openSent = true;
                continue;
            }
            if (opcode == effClose) {
                r.instance->closeAsIs();
                continue;
            }
            // Editors need the window the validator made.
            if (opcode == effEditOpen || opcode == effEditClose || opcode == effEditIdle) {
                ++skipped;
                continue;
            }
            std::vector<unsigned char> bytes;
            if (ptr == "bytes")
                for (long long i = 0; i < value; ++i) bytes.push_back(hexWord<unsigned char>(fields, file));
            std::memset(buffer, 0, sizeof buffer);
            void* pointer = ptr == "-" ? nullptr : ptr == "bytes" ? static_cast<void*>(bytes.data()) : buffer;
            if (opcode == effSetSampleRate) r.host->transport.setSampleRate(opt);
            effect->dispatcher(effect, opcode, index, static_cast<std::intptr_t>(value), pointer, opt);
        } else if (kind == "set") {
            std::int32_t index = 0;
            fields >> index;
            effect->setParameter(effect, index, hexFloat(fields, file));
        } else if (kind == "get") {
            std::int32_t index = 0;
            fields >> index;
            effect->getParameter(effect, index);
        } else if (kind == "process" || kind == "processReplacing" || kind == "processDouble") {
            replayProcess(effect, kind, fields, file);
            std::int32_t frames = 0;
            std::istringstream(line) >> number >> kind >> frames;
            r.host->transport.advance(frames);
        } else {
            throw notASequence(file, "no call '" + kind + "'");
        }
    }
    std::fprintf(
        out, "Replayed %ld calls into %zu instances of %s%s: no crash, no hang\n", calls, instances.size(),
        pluginPath.c_str(),
        skipped > 0
            ? (" (" + std::to_string(skipped) + " editor calls left out: they need the validator's window)").c_str()
            : "");
    std::fflush(out);
    // The sequence ends where the check stood: nothing more is sent. The
    // instances stay open until the process ends, held where a leak checker
    // sees them held.
    static auto* const open = new std::vector<std::map<int, Replayed>>;
    open->push_back(std::move(instances));
}

}  // namespace vsthost::validate
