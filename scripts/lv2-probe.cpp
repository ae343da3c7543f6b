// A small LV2 host of its own, sharing no code with the tool, that says of
// each plug-in URI whether it renders, is refused (for which feature),
// crashes (in which call) or hangs: a second opinion on the tool's verdicts.
//
//   lv2-probe URI...              one line per URI, "URI: verdict"; exit 0
//   lv2-probe MODE URI...         one run-time fault looked for, one line per
//                                 URI; exit 1 where it shows, 2 where a URI
//                                 is not found
//
// The modes (noise is seeded and the same in every run):
//   --blocks N,N,...   noise in blocks of each size, one child per size
//   --rates R,R,...    10 s of noise at each rate, one child per rate
//   --latency          where an impulse comes out against the latency reported
//   --in-place         separate buffers against outputs on the inputs
//   --state            a saved state restored into a fresh instance
//   --alloc            allocations and calls that may block inside run()
//                      against lv2:hardRTCapable
//   --two              two instances run block by block in turn against each
//                      alone, one child process for each way
//   --split N          blocks of N where 4096 were announced against whole
//                      blocks of 4096: where the outputs part, and for how long
//   --unwritten N,...  outputs filled with a marker before each run, at each
//                      block size and at random sizes: what run() leaves of it
//   --unactivated      in turn, ten times: an instance through its life, and
//                      one made and freed, never activated (hosts scanning)
//   --setup            in one process, the rate and largest block changed
//                      with processing off, a new instance where they demand
//                      one; the last change back and forth ten more times
//   --params           control inputs at their extremes (all, then each
//                      alone) in blocks of 512, and 1 to 3 seeded random ones
//                      changed before every block of 32, each in a child
//   --extension-data URI,URI,...
//                      what extension_data answers for each, against the
//                      interfaces the plug-in's data declares
//
// The world is loaded once (LV2_PATH honoured) and the data checked here;
// each plug-in's code runs only in a child process, which writes the call it
// is about to make into memory shared with this process, so that its death
// or a time limit (LV2_PROBE_SECONDS, default 30) names that call, and
// where in its sequence a mode was, if it says.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/patch/patch.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "lv2-probe-allocations.h"
#include "lv2-probe-blocking.h"

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
// Output past this, or not a number, is a fault in every mode.
constexpr float kLoud = 1000.0f;
// LV2_PROBE_BLOCKS runs longer, for a fault that comes only after a while.
int blocks() {
    const char* text = std::getenv("LV2_PROBE_BLOCKS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : 20;
}
constexpr std::uint32_t kAtomBytes = 8192;

// Written by the child, read by the parent once the child is gone.
struct Shared {
    char call[32];
    char context[256];  // where in a mode's sequence the call is made, if it says
    char verdict[1024];
    int finished;
    int fault;
};
Shared* shared = nullptr;

void entering(const char* call) { std::snprintf(shared->call, sizeof shared->call, "%s", call); }
void during(const std::string& context) {
    std::snprintf(shared->context, sizeof shared->context, "%s", context.c_str());
}
void say(bool fault, const std::string& verdict) {
    std::snprintf(shared->verdict, sizeof shared->verdict, "%s", verdict.c_str());
    shared->fault = fault;
}

// URIDs from 1; a deque keeps every string where unmap handed it out.
struct Urids {
    std::deque<std::string> uris;
    std::map<std::string, LV2_URID> ids;
    LV2_URID map(const char* uri) {
        auto [at, added] = ids.try_emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
        if (added) uris.emplace_back(uri);
        return at->second;
    }
    const char* unmap(LV2_URID id) const { return id >= 1 && id <= uris.size() ? uris[id - 1].c_str() : nullptr; }
};
Urids urids;
LV2_URID_Map mapFeature{nullptr, [](LV2_URID_Map_Handle, const char* uri) { return urids.map(uri); }};
LV2_URID_Unmap unmapFeature{nullptr, [](LV2_URID_Unmap_Handle, LV2_URID id) { return urids.unmap(id); }};

// The host's own work inside run() (logging, queueing work) is not counted
// against the plug-in.
struct HostsOwn {
    const bool allocations = allocation_count::counting(), blocking = blocking_count::counting();
    HostsOwn() {
        allocation_count::stop();
        blocking_count::stop();
    }
    ~HostsOwn() {
        if (allocations) allocation_count::start();
        if (blocking) blocking_count::start();
    }
};

int logVprintf(LV2_Log_Handle, LV2_URID, const char* format, va_list args) {
    const HostsOwn host;
    return std::vfprintf(stderr, format, args);
}
int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = logVprintf(handle, type, format, args);
    va_end(args);
    return n;
}
LV2_Log_Log logFeature{nullptr, logPrintf, logVprintf};

// Work is queued while the plug-in runs and done after run returns, which an
// offline host may do; responses go back to the plug-in straight after.
std::vector<std::vector<char>> workQueue;
std::vector<std::vector<char>> responses;
LV2_Worker_Status queueInto(std::vector<std::vector<char>>& queue, std::uint32_t size, const void* data) {
    const HostsOwn host;
    const char* bytes = static_cast<const char*>(data);
    queue.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}
LV2_Worker_Schedule scheduleFeature{nullptr, [](LV2_Worker_Schedule_Handle, std::uint32_t size, const void* data) {
                                        return queueInto(workQueue, size, data);
                                    }};

// The options every instance is made with; a mode sets them before it makes one.
float optionRate = static_cast<float>(kRate);
std::int32_t optionBlock = kBlock;
const std::int32_t optionMinBlock = 1;
std::vector<LV2_Options_Option> options;
void setOptions(double rate, std::int32_t block) {
    optionRate = static_cast<float>(rate);
    optionBlock = block;
}

std::vector<LV2_Feature> featureData;
std::vector<const LV2_Feature*> features;

void makeFeatures() {
    const LV2_URID floatType = urids.map(LV2_ATOM__Float), intType = urids.map(LV2_ATOM__Int);
    options = {
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_PARAMETERS__sampleRate), sizeof optionRate, floatType, &optionRate},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof optionBlock, intType,
         &optionBlock},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof optionBlock, intType, &optionBlock},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__minBlockLength), sizeof optionMinBlock, intType,
         &optionMinBlock},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    featureData = {{LV2_URID__map, &mapFeature},
                   {LV2_URID__unmap, &unmapFeature},
                   {LV2_OPTIONS__options, options.data()},
                   {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                   {LV2_LOG__log, &logFeature},
                   {LV2_WORKER__schedule, &scheduleFeature},
                   {LV2_STATE__loadDefaultState, nullptr}};
    // LV2_PROBE_BARE offers none, for a plug-in whose data requires none.
    if (std::getenv("LV2_PROBE_BARE") == nullptr)
        for (const LV2_Feature& f : featureData) features.push_back(&f);
    features.push_back(nullptr);
}

bool provides(const std::string& uri) {
    return std::any_of(featureData.begin(), featureData.end(), [&](const LV2_Feature& f) { return uri == f.URI; });
}

struct Nodes {
    LilvWorld* world;
    LilvNode *audio, *control, *cv, *atom, *input, *optional, *minimumSize, *state;
    LilvNode *reportsLatency, *latency, *designation, *integer, *toggled, *enumeration, *inPlaceBroken, *hardRT;
    LilvNode *writable, *parameter, *type, *range, *minimum, *maximum, *patchMessage, *perRate;
};

// The control ports' bounds at `rate`: lv2:sampleRate gives them as
// multiples of the rate.
void rangesAt(const LilvPlugin* plugin, const Nodes& n, double rate, std::vector<float>& minimum,
              std::vector<float>& maximum) {
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
    minimum.assign(count, 0.0f);
    maximum.assign(count, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), nullptr);
    for (std::uint32_t p = 0; p < count; ++p)
        if (lilv_port_has_property(plugin, lilv_plugin_get_port_by_index(plugin, p), n.perRate)) {
            minimum[p] = static_cast<float>(minimum[p] * rate);
            maximum[p] = static_cast<float>(maximum[p] * rate);
        }
}

enum class Kind { audio, control, cv, atom, unconnected };
struct Port {
    Kind kind;
    bool input;
    std::vector<float> samples;       // audio, CV, or the one control value
    std::vector<std::uint64_t> atom;  // 8-byte aligned, as atoms must be
};

std::string text(const LilvNode* node) { return node ? lilv_node_as_string(node) : ""; }

// What the data alone tells: a feature this host lacks, or a port it cannot feed.
std::string refusal(const LilvPlugin* plugin, const Nodes& n) {
    std::string missing;
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    LILV_FOREACH(nodes, i, required) {
        const std::string uri = text(lilv_nodes_get(required, i));
        if (!provides(uri)) missing += (missing.empty() ? "" : ", ") + uri;
    }
    lilv_nodes_free(required);
    if (!missing.empty()) return "refused: requires " + missing;
    for (std::uint32_t p = 0; p < lilv_plugin_get_num_ports(plugin); ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        if (lilv_port_is_a(plugin, port, n.audio) || lilv_port_is_a(plugin, port, n.control) ||
            lilv_port_is_a(plugin, port, n.cv) || lilv_port_is_a(plugin, port, n.atom) ||
            lilv_port_has_property(plugin, port, n.optional))
            continue;
        std::string types;
        const LilvNodes* classes = lilv_port_get_classes(plugin, port);
        LILV_FOREACH(nodes, i, classes) {
            const std::string uri = text(lilv_nodes_get(classes, i));
            if (uri != LV2_CORE__InputPort && uri != LV2_CORE__OutputPort) types += (types.empty() ? "" : ", ") + uri;
        }
        return "refused: port '" + text(lilv_port_get_symbol(plugin, port)) + "' of type " +
               (types.empty() ? "(none)" : types);
    }
    return "";
}

std::vector<Port> makePorts(const LilvPlugin* plugin, const Nodes& n, std::int32_t block) {
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum(count), maximum(count), defaults(count);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    std::vector<Port> ports(count);
    for (std::uint32_t p = 0; p < count; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        Port& out = ports[p];
        out.input = lilv_port_is_a(plugin, port, n.input);
        if (lilv_port_is_a(plugin, port, n.audio) || lilv_port_is_a(plugin, port, n.cv)) {
            out.kind = lilv_port_is_a(plugin, port, n.audio) ? Kind::audio : Kind::cv;
            out.samples.assign(block, 0.0f);
        } else if (lilv_port_is_a(plugin, port, n.control)) {
            out.kind = Kind::control;
            const float value = !std::isnan(defaults[p]) ? defaults[p] : !std::isnan(minimum[p]) ? minimum[p] : 0.0f;
            out.samples.assign(1, value);
        } else if (lilv_port_is_a(plugin, port, n.atom)) {
            out.kind = Kind::atom;
            std::uint32_t bytes = kAtomBytes;
            // A port that asks for more room than the usual gets it.
            if (LilvNodes* size = lilv_port_get_value(plugin, port, n.minimumSize)) {
                const int asked = lilv_node_as_int(lilv_nodes_get_first(size));
                if (asked > 0) bytes = std::max(bytes, static_cast<std::uint32_t>(asked));
                lilv_nodes_free(size);
            }
            out.atom.assign((bytes + 7) / 8, 0);
        } else {
            out.kind = Kind::unconnected;
        }
    }
    return ports;
}

// A patch:Set of one parameter, sent in the next run.
struct Setting {
    LV2_URID key, type;
    double value;
};

// Patch:Set messages into an empty sequence in `buffer`.
void writeSettings(std::vector<std::uint64_t>& buffer, const std::vector<Setting>& settings) {
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &mapFeature);
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size() * 8);
    LV2_Atom_Forge_Frame sequence, object;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    for (const Setting& s : settings) {
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &object, 0, urids.map(LV2_PATCH__Set));
        lv2_atom_forge_key(&forge, urids.map(LV2_PATCH__property));
        lv2_atom_forge_urid(&forge, s.key);
        lv2_atom_forge_key(&forge, urids.map(LV2_PATCH__value));
        if (s.type == urids.map(LV2_ATOM__Double))
            lv2_atom_forge_double(&forge, s.value);
        else if (s.type == urids.map(LV2_ATOM__Int))
            lv2_atom_forge_int(&forge, static_cast<std::int32_t>(s.value));
        else if (s.type == urids.map(LV2_ATOM__Bool))
            lv2_atom_forge_bool(&forge, s.value != 0.0);
        else
            lv2_atom_forge_float(&forge, static_cast<float>(s.value));
        lv2_atom_forge_pop(&forge, &object);
    }
    lv2_atom_forge_pop(&forge, &sequence);
}

// One instance of a plug-in with every port connected to buffers of its own,
// or, in place, each audio output to the audio input of the same rank.
struct Instance {
    const LilvPlugin* plugin;
    std::vector<Port> ports;
    std::vector<float*> buffers;  // where each audio or CV port reads or writes
    LilvInstance* lilv = nullptr;
    const LV2_Worker_Interface* worker = nullptr;
    std::vector<Setting> settings;  // for the next run
    int patchPort = -1;             // the atom input that takes patch messages
    bool countCalls = false;        // allocations and calls that may block, in run()
    bool active = false;

    ~Instance() {
        if (lilv == nullptr) return;
        if (active) deactivate();
        entering("cleanup");
        lilv_instance_free(lilv);
    }

    void activate() {
        entering("activate");
        lilv_instance_activate(lilv);
        active = true;
    }
    void deactivate() {
        entering("deactivate");
        lilv_instance_deactivate(lilv);
        active = false;
    }

    void resetAtoms() {
        for (std::size_t p = 0; p < ports.size(); ++p) {
            Port& port = ports[p];
            if (port.kind != Kind::atom) continue;
            auto* atom = reinterpret_cast<LV2_Atom*>(port.atom.data());
            const auto capacity = static_cast<std::uint32_t>(port.atom.size() * 8);
            if (port.input && static_cast<int>(p) == patchPort && !settings.empty()) {
                writeSettings(port.atom, settings);
                settings.clear();
            } else if (port.input) {
                // An empty sequence, its time stamps in frames.
                auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atom);
                sequence->atom = {sizeof(LV2_Atom_Sequence_Body), urids.map(LV2_ATOM__Sequence)};
                sequence->body = {0, 0};
            } else {
                *atom = {capacity - static_cast<std::uint32_t>(sizeof(LV2_Atom)), urids.map(LV2_ATOM__Chunk)};
            }
        }
    }

    void doWork() {
        if (worker == nullptr) return;
        const LV2_Handle handle = lilv_instance_get_handle(lilv);
        auto respond = [](LV2_Worker_Respond_Handle, std::uint32_t size, const void* data) {
            return queueInto(responses, size, data);
        };
        std::vector<std::vector<char>> jobs;
        jobs.swap(workQueue);
        for (const std::vector<char>& job : jobs) {
            entering("work");
            if (worker->work)
                worker->work(handle, respond, nullptr, static_cast<std::uint32_t>(job.size()), job.data());
        }
        std::vector<std::vector<char>> answers;
        answers.swap(responses);
        for (const std::vector<char>& answer : answers) {
            entering("work_response");
            if (worker->work_response)
                worker->work_response(handle, static_cast<std::uint32_t>(answer.size()), answer.data());
        }
        entering("end_run");
        if (worker->end_run) worker->end_run(handle);
    }

    void run(std::int32_t frames) {
        resetAtoms();
        entering("run");
        if (countCalls) {
            allocation_count::start();
            blocking_count::start();
        }
        lilv_instance_run(lilv, static_cast<std::uint32_t>(frames));
        allocation_count::stop();
        blocking_count::stop();
        doWork();
    }

    std::vector<int> audio(bool input) const {
        std::vector<int> found;
        for (std::size_t p = 0; p < ports.size(); ++p)
            if (ports[p].kind == Kind::audio && ports[p].input == input) found.push_back(static_cast<int>(p));
        return found;
    }
};

// The child's instance made, connected, given its default state (and the
// state `restore` if any) and activated; null when instantiate refuses.
std::unique_ptr<Instance> open(const LilvPlugin* plugin, const Nodes& n, double rate, std::int32_t block,
                               bool inPlace = false, const LilvState* restore = nullptr) {
    setOptions(rate, block);
    auto in = std::make_unique<Instance>();
    in->plugin = plugin;
    in->ports = makePorts(plugin, n, block);
    in->buffers.assign(in->ports.size(), nullptr);
    for (std::size_t p = 0; p < in->ports.size(); ++p)
        if (!in->ports[p].samples.empty()) in->buffers[p] = in->ports[p].samples.data();
    if (inPlace) {
        const std::vector<int> inputs = in->audio(true), outputs = in->audio(false);
        for (std::size_t i = 0; i < std::min(inputs.size(), outputs.size()); ++i)
            in->buffers[outputs[i]] = in->buffers[inputs[i]];
    }
    for (std::uint32_t p = 0; p < in->ports.size(); ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        if (in->ports[p].kind == Kind::atom && in->ports[p].input && in->patchPort < 0 &&
            lilv_port_supports_event(plugin, port, n.patchMessage))
            in->patchPort = static_cast<int>(p);
    }
    entering("instantiate");
    in->lilv = lilv_plugin_instantiate(plugin, rate, features.data());
    if (in->lilv == nullptr) {
        say(false, "refused: instantiate returned no instance");
        return nullptr;
    }
    entering("extension_data");
    in->worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(in->lilv, LV2_WORKER__interface));
    entering("connect_port");
    in->resetAtoms();
    for (std::uint32_t p = 0; p < in->ports.size(); ++p) {
        Port& port = in->ports[p];
        void* data = port.kind == Kind::atom      ? static_cast<void*>(port.atom.data())
                     : port.kind == Kind::control ? static_cast<void*>(port.samples.data())
                                                  : static_cast<void*>(in->buffers[p]);
        lilv_instance_connect_port(in->lilv, p, data);
    }
    // A plug-in with a default state of its own has it restored before it runs.
    if (lilv_world_ask(n.world, lilv_plugin_get_uri(plugin), n.state, nullptr)) {
        if (LilvState* state = lilv_state_new_from_world(n.world, &mapFeature, lilv_plugin_get_uri(plugin))) {
            entering("state restore");
            lilv_state_restore(state, in->lilv, nullptr, nullptr, 0, features.data());
            lilv_state_free(state);
        }
    }
    if (restore != nullptr) {
        entering("state restore");
        const auto setValue = [](const char* symbol, void* self, const void* value, std::uint32_t size,
                                 std::uint32_t type) {
            auto* in = static_cast<Instance*>(self);
            const LilvPort* port = nullptr;
            for (std::uint32_t p = 0; p < in->ports.size() && port == nullptr; ++p) {
                const LilvPort* candidate = lilv_plugin_get_port_by_index(in->plugin, p);
                if (text(lilv_port_get_symbol(in->plugin, candidate)) == symbol) port = candidate;
            }
            if (port == nullptr || size != sizeof(float) || type != urids.map(LV2_ATOM__Float)) return;
            Port& target = in->ports[lilv_port_get_index(in->plugin, port)];
            if (target.kind == Kind::control) std::memcpy(target.samples.data(), value, sizeof(float));
        };
        lilv_state_restore(restore, in->lilv, setValue, in.get(), 0, features.data());
    }
    in->activate();
    return in;
}

// Seeded white noise in -0.5..0.5, the same for a channel and frame in every
// run and instance.
float noise(int channel, std::uint64_t frame) {
    std::uint64_t x = frame * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(channel + 1) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<float>(static_cast<double>(x >> 40) / static_cast<double>(1ull << 24) - 0.5);
}

std::string number(double value, const char* format = "%g") {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

using Signal = std::function<float(int channel, std::uint64_t frame)>;

// Written into every output before each run by --unwritten, and compared
// bit for bit: a NaN whose payload no arithmetic makes.
constexpr std::uint32_t kMarkerBits = 0x7FC5A5A5u;

// What the outputs held, and optionally every sample of each or what was
// left of the marker.
struct Heard {
    bool keep = false;
    bool marked = false;  // outputs hold kMarkerBits before each run
    bool nonFinite = false;
    long firstNonFinite = -1;  // frame, counted from the first rendered
    long subnormal = 0;        // output samples, which cost whatever processes them next
    float peak = 0.0f;
    std::vector<std::vector<float>> samples;  // per audio output, when kept
    std::vector<long> unwritten;              // per audio output, marker samples left, when marked
    long frames = 0;
    std::string loudness() const {
        if (nonFinite) return "NaN/Inf in output, the first at frame " + std::to_string(firstNonFinite);
        if (peak > kLoud) return "output above " + number(kLoud) + " (" + number(peak) + ")";
        return "";
    }
};

// One run of `count` frames of the signal from frame `at` on, added to `heard`.
void renderBlock(Instance& in, const Signal& signal, std::uint64_t at, std::int32_t count, Heard& heard) {
    const std::vector<int> inputs = in.audio(true), outputs = in.audio(false);
    if (heard.keep) heard.samples.resize(outputs.size());
    if (heard.marked) heard.unwritten.resize(outputs.size());
    for (std::size_t c = 0; c < inputs.size(); ++c)
        for (std::int32_t i = 0; i < count; ++i)
            in.buffers[inputs[c]][i] = signal(static_cast<int>(c), at + static_cast<std::uint64_t>(i));
    if (heard.marked)
        for (const int o : outputs) std::fill_n(in.buffers[o], count, std::bit_cast<float>(kMarkerBits));
    in.run(count);
    for (std::size_t c = 0; c < outputs.size(); ++c) {
        const float* out = in.buffers[outputs[c]];
        for (std::int32_t i = 0; i < count; ++i) {
            if (heard.marked && std::bit_cast<std::uint32_t>(out[i]) == kMarkerBits)
                ++heard.unwritten[c];
            else if (!std::isfinite(out[i])) {
                // The earliest over all outputs, which are scanned one after another.
                if (!heard.nonFinite || heard.frames + i < heard.firstNonFinite)
                    heard.firstNonFinite = heard.frames + i;
                heard.nonFinite = true;
            } else if (std::fpclassify(out[i]) == FP_SUBNORMAL)
                ++heard.subnormal;
            else
                heard.peak = std::max(heard.peak, std::fabs(out[i]));
        }
        if (heard.keep) heard.samples[c].insert(heard.samples[c].end(), out, out + count);
    }
    heard.frames += count;
}

// `frames` frames of the signal from frame `start` on, in blocks of `block`.
Heard render(Instance& in, const Signal& signal, std::uint64_t start, std::uint64_t frames, std::int32_t block,
             bool keep = false) {
    Heard heard;
    heard.keep = keep;
    for (std::uint64_t done = 0; done < frames;) {
        const auto count = static_cast<std::int32_t>(std::min<std::uint64_t>(block, frames - done));
        renderBlock(in, signal, start + done, count, heard);
        done += static_cast<std::uint64_t>(count);
    }
    return heard;
}

// The largest gap between two kept renderings, a NaN against anything else infinite.
struct Difference {
    float largest = 0.0f;
    std::size_t frame = 0, output = 0;  // where it is, output by rank among the audio outputs
};
float gap(float a, float b) {
    if (std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b)) return 0.0f;
    const float d = std::fabs(a - b);
    return std::isnan(d) ? INFINITY : d;
}
Difference difference(const Heard& a, const Heard& b) {
    Difference found;
    for (std::size_t c = 0; c < std::min(a.samples.size(), b.samples.size()); ++c)
        for (std::size_t i = 0; i < std::min(a.samples[c].size(), b.samples[c].size()); ++i)
            if (const float d = gap(a.samples[c][i], b.samples[c][i]); d > found.largest) found = {d, i, c};
    return found;
}
float largestDifference(const Heard& a, const Heard& b) { return difference(a, b).largest; }

std::string by(const Difference& d) {
    return "by up to " + number(d.largest) + " at frame " + std::to_string(d.frame) + " (output " +
           std::to_string(d.output + 1) + ")";
}

// The plain probe: a sine through the plug-in's whole life, one call after another.
void live(const LilvPlugin* plugin, const Nodes& n) {
    std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock);
    if (!in) return;
    const Signal sine = [](int, std::uint64_t frame) {
        return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(frame) / kRate));
    };
    const Heard heard = render(*in, sine, 0, static_cast<std::uint64_t>(blocks()) * kBlock, kBlock);
    const bool hasInput = !in->audio(true).empty(), hasOutput = !in->audio(false).empty();
    in.reset();
    say(false, std::string(heard.nonFinite      ? "rendered (NaN/Inf in output)"
                           : heard.peak > 1e5f  ? "rendered (louder than +100 dBFS)"
                           : heard.peak == 0.0f ? "rendered (silent)"
                                                : "rendered") +
                   (!hasInput    ? " (no audio input)"
                    : !hasOutput ? " (no audio output)"
                                 : ""));
}

// --blocks and --rates: noise at one block size and rate.
void stream(const LilvPlugin* plugin, const Nodes& n, double rate, std::int32_t block, double seconds) {
    std::unique_ptr<Instance> in = open(plugin, n, rate, block);
    if (!in) return;
    // At least a few blocks however large they are.
    const auto frames = std::max<std::uint64_t>(static_cast<std::uint64_t>(seconds * rate), 4ull * block);
    const Heard heard = render(*in, noise, 0, frames, block);
    in.reset();
    // Noise in, so subnormal output is the plug-in's own making, not a tail.
    const std::string loud = !heard.loudness().empty() ? heard.loudness()
                             : heard.subnormal > 0 ? std::to_string(heard.subnormal) + " subnormal samples in output"
                                                   : "";
    say(!loud.empty(), loud);
}

// --latency: an impulse after a short silence, and where the output's
// largest magnitude lands against what the latency port says after run.
void latency(const LilvPlugin* plugin, const Nodes& n) {
    constexpr std::uint64_t kImpulse = 1024;
    std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock);
    if (!in) return;
    const Signal impulse = [](int, std::uint64_t frame) { return frame == kImpulse ? 1.0f : 0.0f; };
    const Heard heard = render(*in, impulse, 0, kImpulse + static_cast<std::uint64_t>(kRate), kBlock, true);
    int reportPort = -1;
    for (std::uint32_t p = 0; p < in->ports.size(); ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        if (in->ports[p].kind == Kind::control && !in->ports[p].input &&
            (lilv_port_has_property(plugin, port, n.reportsLatency) ||
             lilv_world_ask(n.world, lilv_port_get_node(plugin, port), n.designation, n.latency)))
            reportPort = static_cast<int>(p);
    }
    const double reported = reportPort < 0 ? 0.0 : in->ports[reportPort].samples[0];
    in.reset();
    if (!heard.loudness().empty()) return say(true, heard.loudness());
    if (heard.peak == 0.0f) return say(false, "silent: no impulse comes out");
    std::size_t at = 0;
    float largest = -1.0f;
    for (const std::vector<float>& channel : heard.samples)
        for (std::size_t i = 0; i < channel.size(); ++i)
            if (std::fabs(channel[i]) > largest) largest = std::fabs(channel[i]), at = i;
    const long measured = static_cast<long>(at) - static_cast<long>(kImpulse);
    // A frame either way is a filter's own smear, not a wrong report.
    const bool agree = std::fabs(static_cast<double>(measured) - reported) <= 1.0;
    say(!agree, "output peaks " + std::to_string(measured) + " frames after the impulse, the plug-in reports " +
                    (reportPort < 0 ? "no latency (0)" : number(reported)) + (agree ? ": agree" : ": disagree"));
}

bool claims(const LilvPlugin* plugin, const LilvNode* feature) { return lilv_plugin_has_feature(plugin, feature); }

// --in-place: the same noise through separate buffers (twice, to tell a
// plug-in that is not deterministic) and with the outputs on the inputs.
void inPlace(const LilvPlugin* plugin, const Nodes& n) {
    constexpr std::uint64_t kFrames = 16384;
    Heard runs[3];
    for (int r = 0; r < 3; ++r) {
        std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock, r == 2);
        if (!in) return;
        runs[r] = render(*in, noise, 0, kFrames, kBlock, true);
    }
    const bool broken = claims(plugin, n.inPlaceBroken);
    const std::string claim = broken ? "claims lv2:inPlaceBroken" : "does not claim lv2:inPlaceBroken";
    const float apart = largestDifference(runs[0], runs[1]);
    if (apart > 0.0f)
        return say(false,
                   "not deterministic: two runs with separate buffers differ by " + number(apart) + "; " + claim);
    const float inPlace = largestDifference(runs[0], runs[2]);
    say(inPlace > 0.0f && !broken, "in place differs by " + number(inPlace) + " at most; " + claim);
}

// --split: the same noise through whole blocks of 4096 (twice, to tell a
// plug-in that is not deterministic) and through blocks of `size`, all with
// 4096 announced. Where the outputs part tells a block boundary handled
// badly (differences at multiples of `size`) from a smoothing that settles
// (differences only at the start).
void split(const LilvPlugin* plugin, const Nodes& n, std::int32_t size) {
    constexpr std::uint64_t kFrames = 32768;
    constexpr std::int32_t kWhole = 4096;
    Heard runs[3];
    for (int r = 0; r < 3; ++r) {
        std::unique_ptr<Instance> in = open(plugin, n, kRate, kWhole);
        if (!in) return;
        runs[r] = render(*in, noise, 0, kFrames, r == 2 ? size : kWhole, true);
    }
    const Difference again = difference(runs[0], runs[1]);
    if (again.largest > 0.0f) return say(false, "not deterministic: two runs in whole blocks differ " + by(again));
    const Difference d = difference(runs[0], runs[2]);
    const std::string cut = "blocks of " + std::to_string(size) + " where " + std::to_string(kWhole) +
                            " were announced differ from whole blocks ";
    if (d.largest == 0.0f) return say(false, "blocks of " + std::to_string(size) + " give what whole blocks give");
    // Rounding in what is computed per block moves samples by units in the
    // last place; more than -80 dB of the peak is heard.
    const float tolerance = 1e-4f * std::max(1.0f, runs[0].peak);
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < kFrames; ++i)
        for (std::size_t c = 0; c < runs[0].samples.size(); ++c)
            if (gap(runs[0].samples[c][i], runs[2].samples[c][i]) > tolerance) {
                differing.push_back(i);
                break;
            }
    if (differing.empty()) return say(false, cut + by(d) + ", none by more than 1e-4 of the peak");
    const auto size_ = static_cast<std::size_t>(size);
    const auto atCuts = std::count_if(differing.begin(), differing.end(), [&](std::size_t frame) {
        const std::size_t into = frame % size_;
        return frame + 2 >= size_ && (into <= 2 || size_ - into <= 2);
    });
    std::string runsText;
    int shown = 0;
    for (std::size_t i = 0; i < differing.size() && shown < 4; ++shown) {
        std::size_t last = i;
        while (last + 1 < differing.size() && differing[last + 1] == differing[last] + 1) ++last;
        runsText += (shown == 0 ? "" : ", ") + std::to_string(differing[i]) +
                    (last > i ? "-" + std::to_string(differing[last]) : "");
        i = last + 1;
        if (shown == 3 && i < differing.size()) runsText += ", ...";
    }
    const bool lasting = differing.back() >= static_cast<std::size_t>(kWhole);
    say(lasting, cut + by(d) + "; " + std::to_string(differing.size()) + " frames by more than 1e-4 of the peak (" +
                     runsText + "), " + std::to_string(atCuts) + " of them within 2 frames of a multiple of " +
                     std::to_string(size) + " (5 in " + std::to_string(size) + " by chance); " +
                     (lasting ? "on to frame " : "only in the first 4096 frames, the last at ") +
                     std::to_string(differing.back()));
}

// --unwritten: every audio output filled with a marker before each run, in
// blocks of `size` announced as such or, for 0, of random sizes below 4096
// announced: a plug-in replacing its outputs writes every sample of them.
void unwritten(const LilvPlugin* plugin, const Nodes& n, std::int32_t size, unsigned seed) {
    constexpr std::int32_t kAnnounced = 4096;
    constexpr long kFrames = 2048, kRandomFrames = 32768;
    std::unique_ptr<Instance> in = open(plugin, n, kRate, size > 0 ? size : kAnnounced);
    if (!in) return;
    Heard heard;
    heard.marked = true;
    if (size > 0) {
        // At least three blocks, however large.
        const long blocks = std::max(3L, (kFrames + size - 1) / size);
        for (long b = 0; b < blocks; ++b)
            renderBlock(*in, noise, static_cast<std::uint64_t>(heard.frames), size, heard);
    } else {
        std::mt19937 random(seed);
        std::uniform_int_distribution<std::int32_t> sizes(1, kAnnounced - 1);
        while (heard.frames < kRandomFrames)
            renderBlock(*in, noise, static_cast<std::uint64_t>(heard.frames), sizes(random), heard);
    }
    const std::vector<int> outputs = in->audio(false);
    in.reset();
    std::string left;
    for (std::size_t c = 0; c < heard.unwritten.size(); ++c)
        if (heard.unwritten[c] > 0)
            left += (left.empty() ? "" : ", ") + std::string("output '") +
                    text(lilv_port_get_symbol(plugin, lilv_plugin_get_port_by_index(plugin, outputs[c]))) + "' left " +
                    std::to_string(heard.unwritten[c]) + " of " + std::to_string(heard.frames) + " samples unwritten";
    say(!left.empty(), left);
}

// Control inputs set to random values within their ranges, whole where the
// port says integer, toggled or enumeration; "N controls" set.
int randomControls(Instance& in, const Nodes& n, std::mt19937& random) {
    const std::uint32_t count = static_cast<std::uint32_t>(in.ports.size());
    std::vector<float> minimum, maximum;
    rangesAt(in.plugin, n, kRate, minimum, maximum);
    int set = 0;
    for (std::uint32_t p = 0; p < count; ++p) {
        Port& port = in.ports[p];
        if (port.kind != Kind::control || !port.input || !(minimum[p] < maximum[p])) continue;
        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(in.plugin, p);
        float value = std::uniform_real_distribution<float>(minimum[p], maximum[p])(random);
        if (lilv_port_has_property(in.plugin, lilvPort, n.integer) ||
            lilv_port_has_property(in.plugin, lilvPort, n.toggled) ||
            lilv_port_has_property(in.plugin, lilvPort, n.enumeration))
            value = std::clamp(std::round(value), minimum[p], maximum[p]);
        port.samples[0] = value;
        ++set;
    }
    return set;
}

// The numeric patch:writable parameters with a range, each given a random value.
std::vector<Setting> randomParameters(const LilvPlugin* plugin, const Nodes& n, std::mt19937& random) {
    std::vector<Setting> settings;
    LilvNodes* writable = lilv_world_find_nodes(n.world, lilv_plugin_get_uri(plugin), n.writable, nullptr);
    LILV_FOREACH(nodes, i, writable) {
        const LilvNode* parameter = lilv_nodes_get(writable, i);
        if (!lilv_world_ask(n.world, parameter, n.type, n.parameter)) continue;
        LilvNode* range = lilv_world_get(n.world, parameter, n.range, nullptr);
        LilvNode* low = lilv_world_get(n.world, parameter, n.minimum, nullptr);
        LilvNode* high = lilv_world_get(n.world, parameter, n.maximum, nullptr);
        const std::string type = text(range);
        const bool numbers = lilv_node_is_float(low) || lilv_node_is_int(low);
        const bool bounded = low && high && numbers && lilv_node_as_float(low) < lilv_node_as_float(high);
        Setting s{urids.map(text(parameter).c_str()), urids.map(type.c_str()), 0.0};
        if (type == LV2_ATOM__Bool) {
            s.value = std::uniform_int_distribution<int>(0, 1)(random);
            settings.push_back(s);
        } else if (bounded && (type == LV2_ATOM__Float || type == LV2_ATOM__Double || type == LV2_ATOM__Int)) {
            s.value = std::uniform_real_distribution<double>(lilv_node_as_float(low), lilv_node_as_float(high))(random);
            if (type == LV2_ATOM__Int) s.value = std::round(s.value);
            settings.push_back(s);
        }
        lilv_node_free(range);
        lilv_node_free(low);
        lilv_node_free(high);
    }
    lilv_nodes_free(writable);
    return settings;
}

// --state: a random setting rendered, saved, restored into a fresh instance,
// and both fed the same noise: after settling they should sound alike.
void state(const LilvPlugin* plugin, const Nodes& n, unsigned seed) {
    constexpr std::uint64_t kSettle = 8192, kCompare = 16384;
    std::mt19937 random(seed);
    std::unique_ptr<Instance> saved = open(plugin, n, kRate, kBlock);
    if (!saved) return;
    const int controls = randomControls(*saved, n, random);
    saved->settings = randomParameters(plugin, n, random);
    const std::size_t parameters = saved->settings.size();
    const bool patchable = saved->patchPort >= 0;
    if (!patchable) saved->settings.clear();
    render(*saved, noise, 0, kSettle, kBlock);
    entering("state save");
    const auto portValue = [](const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type) -> const void* {
        auto* in = static_cast<Instance*>(self);
        for (std::uint32_t p = 0; p < in->ports.size(); ++p)
            if (in->ports[p].kind == Kind::control &&
                text(lilv_port_get_symbol(in->plugin, lilv_plugin_get_port_by_index(in->plugin, p))) == symbol) {
                *size = sizeof(float);
                *type = urids.map(LV2_ATOM__Float);
                return in->ports[p].samples.data();
            }
        *size = *type = 0;
        return nullptr;
    };
    LilvState* snapshot = lilv_state_new_from_instance(plugin, saved->lilv, &mapFeature, nullptr, nullptr, nullptr,
                                                       nullptr, portValue, saved.get(), 0, features.data());
    if (snapshot == nullptr) return say(false, "not probed: lilv made no state of the instance");
    std::unique_ptr<Instance> restored = open(plugin, n, kRate, kBlock, false, snapshot);
    if (!restored) return;
    render(*saved, noise, kSettle, kSettle, kBlock);
    render(*restored, noise, kSettle, kSettle, kBlock);
    const Heard a = render(*saved, noise, 2 * kSettle, kCompare, kBlock, true);
    const Heard b = render(*restored, noise, 2 * kSettle, kCompare, kBlock, true);
    saved.reset();
    restored.reset();
    lilv_state_free(snapshot);
    const std::string what = std::to_string(controls) + " controls and " + std::to_string(parameters) +
                             " patch parameters set" +
                             (parameters > 0 && !patchable ? " (no atom input takes patch:Message, so not sent)" : "");
    if (!a.loudness().empty() || !b.loudness().empty())
        return say(true, "before or after restore: " + a.loudness() + b.loudness());
    if (a.peak == 0.0f) return say(false, "silent at the setting; " + what);
    // Sound this far apart, relative to its peak (-60 dB), is another sound.
    const float relative = largestDifference(a, b) / a.peak;
    if (relative == 0.0f) return say(false, "restored instance sounds the same; " + what);
    say(relative > 1e-3f, "restored instance differs by " + number(relative) + " of the peak (" +
                              number(20.0 * std::log10(std::max(relative, 1e-12f)), "%.0f") + " dB) after " +
                              std::to_string(kSettle) + " settling frames; " + what);
}

// --alloc: allocations and frees made while run() is under way, and in
// which runs, for a plug-in that allocates once on its first.
void alloc(const LilvPlugin* plugin, const Nodes& n) {
    std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock);
    if (!in) return;
    constexpr int kRuns = 100;
    in->countCalls = true;
    int first = -1, runs = 0;
    for (int r = 0; r < kRuns; ++r) {
        const long before = allocation_count::made() + allocation_count::freed();
        render(*in, noise, static_cast<std::uint64_t>(r) * kBlock, kBlock, kBlock);
        if (allocation_count::made() + allocation_count::freed() == before) continue;
        ++runs;
        if (first < 0) first = r + 1;
    }
    in->countCalls = false;
    in.reset();
    const bool hardRT = claims(plugin, n.hardRT);
    const long made = allocation_count::made(), freed = allocation_count::freed();
    const long blocking = blocking_count::made();
    const std::string where =
        runs == 0 ? "" : " (in " + std::to_string(runs) + " of them, the first run " + std::to_string(first) + ")";
    const std::string firstBlocking = blocking > 0 ? std::string(" (first: ") + blocking_count::first() + ")" : "";
    say((made + freed + blocking) > 0 && hardRT,
        std::to_string(made) + " allocations and " + std::to_string(freed) + " frees in " + std::to_string(kRuns) +
            " runs of " + std::to_string(kBlock) + " frames" + where + ", " + std::to_string(blocking) +
            " calls that may block" + firstBlocking + "; " + (hardRT ? "claims" : "does not claim") +
            " lv2:hardRTCapable");
}

// --unactivated: one instance through its whole life, then one made and
// freed straight away, in turn, as a host scanning and using them does.
void unactivated(const LilvPlugin* plugin, const Nodes& n) {
    for (int round = 0; round < 10; ++round) {
        if (std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock); in)
            render(*in, noise, 0, kBlock, kBlock);
        else
            return;
        entering("instantiate");
        LilvInstance* instance = lilv_plugin_instantiate(plugin, kRate, features.data());
        if (instance == nullptr) return say(false, "refused: instantiate returned no instance");
        entering("cleanup");
        lilv_instance_free(instance);
    }
    say(false, "10 times one through its life, one made and freed, never activated");
}

// --setup: the rate and largest block changed as hosts change them, with
// processing off, in one process: deactivated, and where the rate changes
// or the block grows past the one the instance was made for, freed and
// made anew; then activated and run. The last change back and forth ten
// more times, where state left by the freed instance may tell.
void setup(const LilvPlugin* plugin, const Nodes& n) {
    struct Step {
        double rate;
        std::int32_t block;
    };
    constexpr Step kSteps[] = {{96000.0, 4096}, {22050.0, 4096}, {22050.0, 64},
                               {88200.0, 64},   {44100.0, 1024}, {48000.0, 16}};
    constexpr std::size_t kFirst = std::size(kSteps);
    constexpr int kRepeats = 10;
    std::vector<Step> steps(std::begin(kSteps), std::end(kSteps));
    for (int r = 0; r < kRepeats; ++r) steps.insert(steps.end(), {kSteps[kFirst - 2], kSteps[kFirst - 1]});
    const auto name = [](const Step& s) { return number(s.rate) + " Hz/" + std::to_string(s.block); };

    std::string at = "at " + name(steps[0]);
    during(at);
    std::unique_ptr<Instance> in = open(plugin, n, steps[0].rate, steps[0].block);
    if (!in) return;
    std::int32_t largest = steps[0].block;
    int instances = 1;
    float peak = 0.0f;
    std::uint64_t frame = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (i > 0) {
            const Step& from = steps[i - 1];
            at = "after " + name(from) + " -> " + name(step);
            if (i >= kFirst)
                at += " (again, " + std::to_string((i - kFirst) / 2 + 1) + " of " + std::to_string(kRepeats) + ")";
            during(at);
            in->deactivate();
            if (step.rate != from.rate || step.block > largest) {
                in.reset();
                in = open(plugin, n, step.rate, step.block);
                if (!in) return say(false, "refused: instantiate returned no instance " + at);
                largest = step.block;
                ++instances;
            } else {
                in->activate();
            }
        }
        const Heard heard = render(*in, noise, frame, 4ull * static_cast<std::uint64_t>(step.block), step.block);
        frame += 4ull * static_cast<std::uint64_t>(step.block);
        if (!heard.loudness().empty()) return say(true, heard.loudness() + " " + at);
        peak = std::max(peak, heard.peak);
    }
    during("at the end, after " + name(steps.back()));
    in.reset();
    say(false, std::to_string(steps.size() - 1) + " changes of rate or block size with processing off, " +
                   std::to_string(instances) + " instances in turn: output finite, peak " + number(peak));
}

// A control input as --params sets it.
struct Control {
    int port;
    std::string symbol;
    float minimum, maximum, fallback;
    bool whole;                 // integer or toggled
    std::vector<float> points;  // an enumeration's values
};

// The control inputs a host lets its user set: not those the host fills
// itself (the song's position, offline running, the rate).
std::vector<Control> controls(const Instance& in, const Nodes& n) {
    const LilvPlugin* plugin = in.plugin;
    const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum, maximum;
    rangesAt(plugin, n, kRate, minimum, maximum);
    std::vector<Control> found;
    for (std::uint32_t p = 0; p < count; ++p) {
        if (in.ports[p].kind != Kind::control || !in.ports[p].input) continue;
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        LilvNodes* designations = lilv_port_get_value(plugin, port, n.designation);
        const std::string designation = designations ? text(lilv_nodes_get_first(designations)) : "";
        lilv_nodes_free(designations);
        if (designation.starts_with(LV2_TIME_PREFIX) || designation == LV2_CORE__freeWheeling ||
            designation == LV2_PARAMETERS__sampleRate)
            continue;
        Control c{static_cast<int>(p),
                  text(lilv_port_get_symbol(plugin, port)),
                  minimum[p],
                  maximum[p],
                  in.ports[p].samples[0],
                  false,
                  {}};
        // Without a whole range, the usual one.
        if (!(c.minimum <= c.maximum)) {
            c.minimum = 0.0f;
            c.maximum = 1.0f;
        }
        c.whole = lilv_port_has_property(plugin, port, n.integer) || lilv_port_has_property(plugin, port, n.toggled);
        if (lilv_port_has_property(plugin, port, n.enumeration))
            if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port)) {
                LILV_FOREACH(scale_points, i, points)
                c.points.push_back(lilv_node_as_float(lilv_scale_point_get_value(lilv_scale_points_get(points, i))));
                lilv_scale_points_free(points);
            }
        found.push_back(std::move(c));
    }
    return found;
}

// A value in the control's range, whole where it is whole, a scale point
// where it is an enumeration.
float randomValue(const Control& c, std::mt19937& random) {
    const float value = std::uniform_real_distribution<float>(c.minimum, c.maximum)(random);
    if (!c.points.empty())
        return *std::min_element(c.points.begin(), c.points.end(),
                                 [&](float a, float b) { return std::fabs(a - value) < std::fabs(b - value); });
    return c.whole ? std::clamp(std::round(value), c.minimum, c.maximum) : value;
}

// The last three control changes, kept where the parent reads them should
// the child die.
class Changes {
public:
    void set(Instance& in, const Control& c, float value) {
        float& port = in.ports[static_cast<std::size_t>(c.port)].samples[0];
        if (std::bit_cast<std::uint32_t>(port) == std::bit_cast<std::uint32_t>(value)) return;
        port = value;
        last_.push_back("'" + c.symbol + "' = " + number(value));
        if (last_.size() > 3) last_.pop_front();
        during(text());
    }
    std::string text() const {
        std::string list;
        for (const std::string& change : last_) list += (list.empty() ? "" : ", ") + change;
        return list.empty() ? "no control changed from its default" : "after setting " + list;
    }

private:
    std::deque<std::string> last_;
};

// Output past kLoud is told after the whole run, unless NaN/Inf comes
// later, which tells more and ends the run; `first` says where it began.
struct Loud {
    std::string first;
    void watch(const Heard& heard, long blockStart, const std::string& where) {
        if (first.empty() && heard.peak > kLoud)
            first = "from the block at frame " + std::to_string(blockStart) + " " + where;
    }
    std::string text(const Heard& heard) const {
        return "output above " + number(kLoud) + " (peak " + number(heard.peak) + ") " + first;
    }
};

// --params (a): all controls at their minimum, all at their maximum, then
// each alone at its minimum and at its maximum, four blocks each.
void extremes(const LilvPlugin* plugin, const Nodes& n) {
    std::unique_ptr<Instance> in = open(plugin, n, kRate, kBlock);
    if (!in) return;
    const std::vector<Control> all = controls(*in, n);
    Changes changes;
    Heard heard;
    Loud loud;
    const auto run = [&](const std::string& setting) {
        const long start = heard.frames;
        for (int b = 0; b < 4; ++b) renderBlock(*in, noise, static_cast<std::uint64_t>(heard.frames), kBlock, heard);
        if (!heard.nonFinite) {
            loud.watch(heard, start, "with " + setting + ", " + changes.text());
            return false;
        }
        say(true, heard.loudness() + " with " + setting + ", " + changes.text());
        return true;
    };
    for (const bool high : {false, true}) {
        for (const Control& c : all) changes.set(*in, c, high ? c.maximum : c.minimum);
        if (run(high ? "all controls at their maximum" : "all controls at their minimum")) return;
    }
    for (const Control& alone : all) {
        for (const Control& c : all) changes.set(*in, c, c.fallback);
        for (const bool high : {false, true}) {
            changes.set(*in, alone, high ? alone.maximum : alone.minimum);
            if (run("'" + alone.symbol + "' alone at its " + (high ? "maximum" : "minimum"))) return;
        }
    }
    during("after the extremes");
    in.reset();
    if (!loud.first.empty()) return say(true, loud.text(heard));
    say(false, std::to_string(all.size()) + " controls all at their minimum, maximum, each alone at both: " +
                   "output finite, peak " + number(heard.peak));
}

// --params (b): one to three random controls set to random values before
// every block of 32 for two seconds, as a host automating them does.
void automation(const LilvPlugin* plugin, const Nodes& n, unsigned seed) {
    constexpr std::int32_t kStep = 32;
    constexpr long kFrames = 88200;
    std::unique_ptr<Instance> in = open(plugin, n, kRate, kStep);
    if (!in) return;
    const std::vector<Control> all = controls(*in, n);
    std::mt19937 random(seed);
    Changes changes;
    Heard heard;
    Loud loud;
    long set = 0;
    while (heard.frames < kFrames) {
        if (!all.empty())
            for (int k = std::uniform_int_distribution<int>(1, 3)(random); k > 0; --k, ++set) {
                const Control& c = all[std::uniform_int_distribution<std::size_t>(0, all.size() - 1)(random)];
                changes.set(*in, c, randomValue(c, random));
            }
        const long start = heard.frames;
        renderBlock(*in, noise, static_cast<std::uint64_t>(heard.frames), kStep, heard);
        if (heard.nonFinite) return say(true, heard.loudness() + ", " + changes.text());
        loud.watch(heard, start, changes.text());
    }
    during("after the automation");
    in.reset();
    if (!loud.first.empty()) return say(true, loud.text(heard));
    say(false, std::to_string(set) + " random changes of " + std::to_string(all.size()) + " controls in " +
                   std::to_string(heard.frames / kStep) + " blocks of " + std::to_string(kStep) +
                   ": output finite, peak " + number(heard.peak));
}

// --extension-data: what extension_data answers for each URI asked, against
// the interfaces the plug-in's data lists as lv2:extensionData.
void extensionData(const LilvPlugin* plugin, const Nodes& n, const std::vector<std::string>& asked) {
    setOptions(kRate, kBlock);
    entering("instantiate");
    LilvInstance* instance = lilv_plugin_instantiate(plugin, kRate, features.data());
    if (instance == nullptr) return say(false, "refused: instantiate returned no instance");
    LilvNodes* declared = lilv_plugin_get_extension_data(plugin);
    std::string answers;
    bool fault = false;
    for (const std::string& uri : asked) {
        LilvNode* node = lilv_new_uri(n.world, uri.c_str());
        const bool listed = declared && node && lilv_nodes_contains(declared, node);
        lilv_node_free(node);
        during("for " + uri);
        entering("extension_data");
        const bool answered = lilv_instance_get_extension_data(instance, uri.c_str()) != nullptr;
        fault = fault || (listed && !answered);
        answers += (answers.empty() ? "" : "; ") + uri + (listed ? " declared, " : " not declared, ") +
                   (answered ? "answered" : "answers null");
    }
    lilv_nodes_free(declared);
    during("");
    entering("cleanup");
    lilv_instance_free(instance);
    say(fault, answers);
}

// lilv makes no URI of a relative folder in LV2_PATH (and then crashes), so
// every folder is made absolute first.
void absoluteLv2Path() {
    const char* path = std::getenv("LV2_PATH");
    if (path == nullptr) return;
    std::string absolute, rest = path;
    for (std::size_t end; !rest.empty(); rest = end == std::string::npos ? "" : rest.substr(end + 1)) {
        end = rest.find(':');
        std::string folder = rest.substr(0, end);
        if (char* real = realpath(folder.c_str(), nullptr)) {
            folder = real;
            std::free(real);
        }
        if (!folder.empty() && folder[0] == '/') absolute += (absolute.empty() ? "" : ":") + folder;
    }
    setenv("LV2_PATH", absolute.c_str(), 1);
}

std::string signalName(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

struct Verdict {
    std::string text;
    bool fault = false;
};

// Where the child was in its mode's sequence when it died, if the mode says.
std::string where() { return shared->context[0] == '\0' ? "" : " " + std::string(shared->context); }

// `body` in a child process of its own: its verdict, or how it died.
Verdict isolated(const std::function<void()>& body, double seconds) {
    *shared = {};
    entering("the probe's own set-up");
    std::fflush(nullptr);  // or the child's exit would write what is buffered here once more
    const pid_t child = fork();
    if (child < 0) return {"not probed: fork failed"};
    if (child == 0) {
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // The plug-in's chatter goes with the log, apart from the verdicts.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        body();
        shared->finished = 1;
        std::fflush(nullptr);
        _exit(0);
    }
    setpgid(child, child);
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds(0)) {
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            return {"hung in " + std::string(shared->call) + where(), true};
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        sigtimedwait(&chld, nullptr, &wait);
    }
    if (WIFSIGNALED(status))
        return {"crashed in " + std::string(shared->call) + " (" + signalName(WTERMSIG(status)) + ")" + where(), true};
    if (!shared->finished || WEXITSTATUS(status) != 0)
        return {
            "crashed in " + std::string(shared->call) + " (exit " + std::to_string(WEXITSTATUS(status)) + ")" + where(),
            true};
    return {shared->verdict, shared->fault != 0};
}

// --blocks and --rates: one child per size or rate, the faulty named first.
Verdict eachOf(const std::vector<long>& values, const char* unit, const std::function<void(long)>& body,
               double seconds) {
    Verdict all;
    std::string fine;
    for (const long value : values) {
        const Verdict v = isolated([&] { body(value); }, seconds);
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

// Every audio output of a few renderings, kept by children in memory shared
// with this process, so that renderings from different processes compare.
class SharedSamples {
public:
    SharedSamples(std::size_t outputs, std::size_t frames, std::size_t renderings)
        : outputs_(outputs), frames_(frames), bytes_(std::max<std::size_t>(1, outputs * frames * renderings) * 4) {
        void* at = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        data_ = at == MAP_FAILED ? nullptr : static_cast<float*>(at);
    }
    ~SharedSamples() {
        if (data_ != nullptr) munmap(data_, bytes_);
    }
    SharedSamples(const SharedSamples&) = delete;
    SharedSamples& operator=(const SharedSamples&) = delete;
    bool ok() const { return data_ != nullptr; }
    void keep(std::size_t rendering, const Heard& heard) {
        for (std::size_t c = 0; c < std::min(outputs_, heard.samples.size()); ++c)
            std::copy_n(heard.samples[c].begin(), std::min(frames_, heard.samples[c].size()), at(rendering, c));
    }
    Heard heard(std::size_t rendering) const {
        Heard heard;
        for (std::size_t c = 0; c < outputs_; ++c)
            heard.samples.emplace_back(at(rendering, c), at(rendering, c) + frames_);
        return heard;
    }

private:
    float* at(std::size_t rendering, std::size_t output) const {
        return data_ + (rendering * outputs_ + output) * frames_;
    }
    std::size_t outputs_, frames_, bytes_;
    float* data_;
};

std::size_t audioOutputs(const LilvPlugin* plugin, const Nodes& n) {
    std::size_t count = 0;
    for (std::uint32_t p = 0; p < lilv_plugin_get_num_ports(plugin); ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        if (lilv_port_is_a(plugin, port, n.audio) && !lilv_port_is_a(plugin, port, n.input)) ++count;
    }
    return count;
}

// --two: the same noise through one instance alone in a fresh process (in
// two processes, to tell a plug-in that is not deterministic), through a
// second instance made after the first in one of them, and through two
// instances run block by block in turn. In turn, each should give what it
// gives alone; the second alone tells state the process shares, such as the
// C library's rand().
Verdict two(const LilvPlugin* plugin, const Nodes& n, double seconds, unsigned seed) {
    constexpr std::uint64_t kFrames = 32768;
    // LV2_PROBE_TWO_BLOCK sets the block (512), or "random" seeded sizes up
    // to 4096 announced, for a fault that shows at some sizes only.
    const char* blockText = std::getenv("LV2_PROBE_TWO_BLOCK");
    const bool randomSizes = blockText && std::strcmp(blockText, "random") == 0;
    const std::int32_t block = randomSizes                             ? 4096
                               : blockText && std::atoi(blockText) > 0 ? std::atoi(blockText)
                                                                       : kBlock;
    std::vector<std::int32_t> cuts;
    std::mt19937 random(seed);
    for (std::uint64_t done = 0; done < kFrames; done += static_cast<std::uint64_t>(cuts.back()))
        cuts.push_back(static_cast<std::int32_t>(std::min<std::uint64_t>(
            randomSizes ? std::uniform_int_distribution<std::int32_t>(1, block)(random) : block, kFrames - done)));
    enum Rendering : std::size_t { kAlone, kAfter, kAloneAgain, kFirst, kSecond, kRenderings };
    SharedSamples kept(audioOutputs(plugin, n), kFrames, kRenderings);
    if (!kept.ok()) return {"not probed: no memory to share with its processes"};
    const auto alone = [&](std::initializer_list<Rendering> renderings) {
        for (const Rendering r : renderings) {
            std::unique_ptr<Instance> in = open(plugin, n, kRate, block);
            if (!in) return;
            Heard heard;
            heard.keep = true;
            std::uint64_t done = 0;
            for (const std::int32_t count : cuts) {
                renderBlock(*in, noise, done, count, heard);
                done += static_cast<std::uint64_t>(count);
            }
            kept.keep(r, heard);
        }
    };
    const auto inTurn = [&] {
        std::unique_ptr<Instance> first = open(plugin, n, kRate, block);
        if (!first) return;
        std::unique_ptr<Instance> second = open(plugin, n, kRate, block);
        if (!second) return;
        Heard a, b;
        a.keep = b.keep = true;
        std::uint64_t done = 0;
        for (const std::int32_t count : cuts) {
            renderBlock(*first, noise, done, count, a);
            renderBlock(*second, noise, done, count, b);
            done += static_cast<std::uint64_t>(count);
        }
        kept.keep(kFirst, a);
        kept.keep(kSecond, b);
    };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"alone",
         [&] {
             alone({kAlone, kAfter});
         }},
        {"alone again", [&] { alone({kAloneAgain}); }},
        {"in turn", inTurn},
    };
    for (const auto& [name, body] : steps)
        if (const Verdict v = isolated(body, seconds); !v.text.empty()) return {name + (": " + v.text), v.fault};
    const Difference again = difference(kept.heard(kAlone), kept.heard(kAloneAgain));
    if (again.largest > 0.0f) return {"not deterministic: alone in two fresh processes it differs " + by(again), false};
    const Difference after = difference(kept.heard(kAlone), kept.heard(kAfter));
    const std::string afterText = after.largest == 0.0f
                                      ? "an instance made after another in one process gives the same"
                                      : "an instance made after another in one process differs " + by(after) +
                                            " (state the process shares, or memory read before it "
                                            "is written)";
    const Difference first = difference(kept.heard(kFirst), kept.heard(kAlone));
    const Difference second = difference(kept.heard(kSecond), kept.heard(kAfter));
    // What one instance did changes what a later one gives: the process
    // holds state the instances share.
    if (first.largest == 0.0f && second.largest == 0.0f)
        return {"in turn, both instances give what they give alone; " + afterText, after.largest > 0.0f};
    const bool firstWorse = first.largest >= second.largest;
    const Difference& other = firstWorse ? second : first;
    // Made while the first still lives, the second may get fresh memory
    // where the second alone got the first's.
    if (first.largest == 0.0f && difference(kept.heard(kSecond), kept.heard(kAlone)).largest == 0.0f)
        return {"in turn, the second instance differs from the second alone " + by(second) +
                    " but gives exactly what the first gives alone; " + afterText,
                true};
    return {"in turn, the " + std::string(firstWorse ? "first" : "second") + " instance differs from alone " +
                by(firstWorse ? first : second) + ", the other " + (other.largest == 0.0f ? "not at all" : by(other)) +
                "; " + afterText,
            true};
}

std::vector<long> numbers(const char* list) {
    std::vector<long> values;
    for (const char* at = list; *at != '\0';) {
        char* end = nullptr;
        const long value = std::strtol(at, &end, 10);
        if (end == at || value <= 0) return {};
        values.push_back(value);
        at = *end == ',' ? end + 1 : end;
        if (*end != ',' && *end != '\0') return {};
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> modes{"--blocks", "--rates",  "--latency",       "--in-place",  "--state",
                                         "--alloc",  "--two",    "--split",         "--unwritten", "--unactivated",
                                         "--setup",  "--params", "--extension-data"};
    int first = 1;
    std::string mode;
    std::vector<long> values;
    std::vector<std::string> asked;  // --extension-data's URIs
    if (argc > 1 && argv[1][0] == '-') {
        mode = argv[1];
        first = 2;
        if (std::find(modes.begin(), modes.end(), mode) == modes.end()) first = argc;
        if (mode == "--blocks" || mode == "--rates" || mode == "--unwritten" || mode == "--split") {
            values = argc > 2 ? numbers(argv[2]) : std::vector<long>{};
            first = values.empty() ? argc : 3;
        }
        if (mode == "--extension-data") {
            for (std::string rest = argc > 2 ? argv[2] : ""; !rest.empty();) {
                const std::size_t comma = rest.find(',');
                if (comma != 0) asked.push_back(rest.substr(0, comma));
                rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
            }
            first = asked.empty() ? argc : 3;
        }
        // Blocks no longer than the 4096 announced.
        if (mode == "--split" && (values.size() != 1 || values[0] > 4096)) first = argc;
    }
    if (first >= argc) {
        std::fprintf(stderr,
                     "usage: lv2-probe [--blocks N,N,... | --rates R,R,... | --latency | --in-place | --state | "
                     "--alloc | --two | --split N | --unwritten N,N,... | --unactivated | --setup | --params | "
                     "--extension-data URI,URI,...] URI...\n"
                     "       (--split: N at most 4096)\n");
        return 2;
    }
    const char* limit = std::getenv("LV2_PROBE_SECONDS");
    const double seconds = limit && std::atof(limit) > 0.0 ? std::atof(limit) : 30.0;
    const char* seedText = std::getenv("LV2_PROBE_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 1u;
    shared =
        static_cast<Shared*>(mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) {
        std::perror("lv2-probe: mmap");
        return 2;
    }
    // SIGCHLD stays blocked so that the wait for a child can time out on it.
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, nullptr);

    makeFeatures();
    absoluteLv2Path();
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    const auto uri = [&](const char* u) { return lilv_new_uri(world, u); };
    const Nodes n{world,
                  uri(LV2_CORE__AudioPort),
                  uri(LV2_CORE__ControlPort),
                  uri(LV2_CORE__CVPort),
                  uri(LV2_ATOM__AtomPort),
                  uri(LV2_CORE__InputPort),
                  uri(LV2_CORE__connectionOptional),
                  uri(LV2_RESIZE_PORT__minimumSize),
                  uri(LV2_STATE__state),
                  uri(LV2_CORE__reportsLatency),
                  uri(LV2_CORE__latency),
                  uri(LV2_CORE__designation),
                  uri(LV2_CORE__integer),
                  uri(LV2_CORE__toggled),
                  uri(LV2_CORE__enumeration),
                  uri(LV2_CORE__inPlaceBroken),
                  uri(LV2_CORE__hardRTCapable),
                  uri(LV2_PATCH__writable),
                  uri(LV2_CORE_PREFIX "Parameter"),
                  uri("http://www.w3.org/1999/02/22-rdf-syntax-ns#type"),
                  uri("http://www.w3.org/2000/01/rdf-schema#range"),
                  uri(LV2_CORE__minimum),
                  uri(LV2_CORE__maximum),
                  uri(LV2_PATCH__Message),
                  uri(LV2_CORE__sampleRate)};
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world);
    int code = 0;
    for (int a = first; a < argc; ++a) {
        LilvNode* node = lilv_new_uri(world, argv[a]);
        const LilvPlugin* plugin = node ? lilv_plugins_get_by_uri(plugins, node) : nullptr;
        Verdict verdict;
        if (plugin == nullptr) {
            verdict.text = "not found";
            if (!mode.empty()) code = std::max(code, 2);
        } else if (std::string refused = refusal(plugin, n); !refused.empty()) {
            verdict.text = refused;
        } else if (mode == "--blocks") {
            verdict = eachOf(
                values, " frames", [&](long size) { stream(plugin, n, kRate, size, 1.0); }, seconds);
        } else if (mode == "--rates") {
            verdict = eachOf(
                values, " Hz", [&](long rate) { stream(plugin, n, rate, kBlock, 10.0); }, seconds);
        } else if (mode == "--params") {
            const Verdict a = isolated([&] { extremes(plugin, n); }, seconds);
            const Verdict b = isolated([&] { automation(plugin, n, seed); }, seconds);
            verdict = {"extremes: " + a.text + "; automation: " + b.text, a.fault || b.fault};
        } else if (mode == "--two") {
            verdict = two(plugin, n, seconds, seed);
        } else if (mode == "--unwritten") {
            verdict = eachOf(
                values, " frames", [&](long size) { unwritten(plugin, n, static_cast<std::int32_t>(size), seed); },
                seconds);
            const Verdict random = isolated([&] { unwritten(plugin, n, 0, seed); }, seconds);
            verdict.text += "; random sizes below 4096: " + (random.text.empty() ? "fine" : random.text);
            verdict.fault = verdict.fault || random.fault;
        } else {
            verdict = isolated(
                [&] {
                    if (mode == "--latency")
                        latency(plugin, n);
                    else if (mode == "--in-place")
                        inPlace(plugin, n);
                    else if (mode == "--state")
                        state(plugin, n, seed);
                    else if (mode == "--alloc")
                        alloc(plugin, n);
                    else if (mode == "--split")
                        split(plugin, n, static_cast<std::int32_t>(values[0]));
                    else if (mode == "--unactivated")
                        unactivated(plugin, n);
                    else if (mode == "--setup")
                        setup(plugin, n);
                    else if (mode == "--extension-data")
                        extensionData(plugin, n, asked);
                    else
                        live(plugin, n);
                },
                seconds);
            // The plain probe reports what it found and fails nothing.
            if (mode.empty()) verdict.fault = false;
        }
        if (verdict.fault) code = std::max(code, 1);
        std::printf("%s: %s\n", argv[a], verdict.text.c_str());
        std::fflush(stdout);
        lilv_node_free(node);
    }
    for (LilvNode* node :
         {n.audio,         n.control,        n.cv,       n.atom,        n.input,   n.optional, n.minimumSize,
          n.state,         n.reportsLatency, n.latency,  n.designation, n.integer, n.toggled,  n.enumeration,
          n.inPlaceBroken, n.hardRT,         n.writable, n.parameter,   n.type,    n.range,    n.minimum,
          n.maximum,       n.patchMessage,   n.perRate})
        lilv_node_free(node);
    lilv_world_free(world);
    return code;
}
