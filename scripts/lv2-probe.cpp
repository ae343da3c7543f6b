// A small LV2 host of its own, sharing no code with the tool, that says of
// each plug-in URI whether it renders, is refused (for which feature),
// crashes (in which call) or hangs: a second opinion on the tool's verdicts.
//
//   lv2-probe URI...    one line per URI, "URI: verdict"; exit 0
//
// The world is loaded once (LV2_PATH honoured) and the data checked here;
// each plug-in's code runs only in a child process, which writes the call it
// is about to make into memory shared with this process, so that its death
// or a time limit (LV2_PROBE_SECONDS, default 30) names that call.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
// LV2_PROBE_BLOCKS runs longer, for a fault that comes only after a while.
int blocks() {
    const char* text = std::getenv("LV2_PROBE_BLOCKS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : 20;
}
constexpr std::uint32_t kAtomBytes = 8192;

// Written by the child, read by the parent once the child is gone.
struct Shared {
    char call[32];
    char verdict[200];
    int finished;
};
Shared* shared = nullptr;

void entering(const char* call) { std::snprintf(shared->call, sizeof shared->call, "%s", call); }

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

int logVprintf(LV2_Log_Handle, LV2_URID, const char* format, va_list args) {
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
    const char* bytes = static_cast<const char*>(data);
    queue.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}
LV2_Worker_Schedule scheduleFeature{nullptr, [](LV2_Worker_Schedule_Handle, std::uint32_t size, const void* data) {
                                        return queueInto(workQueue, size, data);
                                    }};

const float optionRate = static_cast<float>(kRate);
const std::int32_t optionBlock = kBlock;
std::vector<LV2_Options_Option> options;

std::vector<LV2_Feature> featureData;
std::vector<const LV2_Feature*> features;

void makeFeatures() {
    const LV2_URID floatType = urids.map(LV2_ATOM__Float), intType = urids.map(LV2_ATOM__Int);
    options = {
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_PARAMETERS__sampleRate), sizeof optionRate, floatType, &optionRate},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof optionBlock, intType,
         &optionBlock},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof optionBlock, intType, &optionBlock},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    featureData = {{LV2_URID__map, &mapFeature},
                   {LV2_URID__unmap, &unmapFeature},
                   {LV2_OPTIONS__options, options.data()},
                   {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                   {LV2_LOG__log, &logFeature},
                   {LV2_WORKER__schedule, &scheduleFeature},
                   {LV2_STATE__loadDefaultState, nullptr}};
    for (const LV2_Feature& f : featureData) features.push_back(&f);
    features.push_back(nullptr);
}

bool provides(const std::string& uri) {
    return std::any_of(featureData.begin(), featureData.end(), [&](const LV2_Feature& f) { return uri == f.URI; });
}

struct Nodes {
    LilvWorld* world;
    LilvNode *audio, *control, *cv, *atom, *input, *optional, *minimumSize, *state;
};

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

std::vector<Port> makePorts(const LilvPlugin* plugin, const Nodes& n) {
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
            out.samples.assign(kBlock, 0.0f);
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

void resetAtoms(std::vector<Port>& ports) {
    for (Port& port : ports) {
        if (port.kind != Kind::atom) continue;
        auto* atom = reinterpret_cast<LV2_Atom*>(port.atom.data());
        const auto capacity = static_cast<std::uint32_t>(port.atom.size() * 8);
        if (port.input) {
            // An empty sequence, its time stamps in frames.
            auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atom);
            sequence->atom = {sizeof(LV2_Atom_Sequence_Body), urids.map(LV2_ATOM__Sequence)};
            sequence->body = {0, 0};
        } else {
            *atom = {capacity - static_cast<std::uint32_t>(sizeof(LV2_Atom)), urids.map(LV2_ATOM__Chunk)};
        }
    }
}

void doWork(LilvInstance* instance, const LV2_Worker_Interface* worker) {
    if (worker == nullptr) return;
    const LV2_Handle handle = lilv_instance_get_handle(instance);
    auto respond = [](LV2_Worker_Respond_Handle, std::uint32_t size, const void* data) {
        return queueInto(responses, size, data);
    };
    std::vector<std::vector<char>> jobs;
    jobs.swap(workQueue);
    for (const std::vector<char>& job : jobs) {
        entering("work");
        if (worker->work) worker->work(handle, respond, nullptr, static_cast<std::uint32_t>(job.size()), job.data());
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

// The child: the plug-in's whole life, one call after another.
void live(const LilvPlugin* plugin, const Nodes& n) {
    std::vector<Port> ports = makePorts(plugin, n);
    entering("instantiate");
    LilvInstance* instance = lilv_plugin_instantiate(plugin, kRate, features.data());
    if (instance == nullptr) {
        std::snprintf(shared->verdict, sizeof shared->verdict, "refused: instantiate returned no instance");
        return;
    }
    entering("extension_data");
    const auto* worker =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
    entering("connect_port");
    resetAtoms(ports);
    for (std::uint32_t p = 0; p < ports.size(); ++p) {
        void* data = ports[p].kind == Kind::atom ? static_cast<void*>(ports[p].atom.data())
                     : ports[p].samples.empty()  ? nullptr
                                                 : ports[p].samples.data();
        lilv_instance_connect_port(instance, p, data);
    }
    // A plug-in with a default state of its own has it restored before it runs.
    if (lilv_world_ask(n.world, lilv_plugin_get_uri(plugin), n.state, nullptr)) {
        if (LilvState* state = lilv_state_new_from_world(n.world, &mapFeature, lilv_plugin_get_uri(plugin))) {
            entering("state restore");
            lilv_state_restore(state, instance, nullptr, nullptr, 0, features.data());
            lilv_state_free(state);
        }
    }
    entering("activate");
    lilv_instance_activate(instance);
    bool nonFinite = false;
    float peak = 0.0f;
    const int runs = blocks();
    for (int block = 0; block < runs; ++block) {
        for (Port& port : ports) {
            if (port.kind == Kind::audio && port.input)
                for (std::int32_t i = 0; i < kBlock; ++i)
                    port.samples[i] = static_cast<float>(
                        0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * (block * kBlock + i) / kRate));
            if (port.kind == Kind::cv && port.input) std::fill(port.samples.begin(), port.samples.end(), 0.0f);
        }
        resetAtoms(ports);
        entering("run");
        lilv_instance_run(instance, kBlock);
        doWork(instance, worker);
        for (const Port& port : ports) {
            if (port.kind != Kind::audio || port.input) continue;
            for (float s : port.samples) {
                if (!std::isfinite(s))
                    nonFinite = true;
                else
                    peak = std::max(peak, std::fabs(s));
            }
        }
    }
    entering("deactivate");
    lilv_instance_deactivate(instance);
    entering("cleanup");
    lilv_instance_free(instance);
    const auto audio = [&](bool input) {
        return std::any_of(ports.begin(), ports.end(),
                           [&](const Port& p) { return p.kind == Kind::audio && p.input == input; });
    };
    std::snprintf(shared->verdict, sizeof shared->verdict, "%s%s",
                  nonFinite      ? "rendered (NaN/Inf in output)"
                  : peak > 1e5f  ? "rendered (louder than +100 dBFS)"
                  : peak == 0.0f ? "rendered (silent)"
                                 : "rendered",
                  !audio(true)    ? " (no audio input)"
                  : !audio(false) ? " (no audio output)"
                                  : "");
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

std::string probe(const LilvPlugin* plugin, const Nodes& n, double seconds) {
    if (std::string refused = refusal(plugin, n); !refused.empty()) return refused;
    *shared = {};
    entering("the probe's own set-up");
    std::fflush(nullptr);  // or the child's exit would write what is buffered here once more
    const pid_t child = fork();
    if (child < 0) return "not probed: fork failed";
    if (child == 0) {
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // The plug-in's chatter goes with the log, apart from the verdicts.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        live(plugin, n);
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
            return "hung in " + std::string(shared->call);
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        sigtimedwait(&chld, nullptr, &wait);
    }
    if (WIFSIGNALED(status))
        return "crashed in " + std::string(shared->call) + " (" + signalName(WTERMSIG(status)) + ")";
    if (!shared->finished || WEXITSTATUS(status) != 0)
        return "crashed in " + std::string(shared->call) + " (exit " + std::to_string(WEXITSTATUS(status)) + ")";
    return shared->verdict;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: lv2-probe URI...\n");
        return 2;
    }
    const char* limit = std::getenv("LV2_PROBE_SECONDS");
    const double seconds = limit && std::atof(limit) > 0.0 ? std::atof(limit) : 30.0;
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
    const Nodes n{world,
                  lilv_new_uri(world, LV2_CORE__AudioPort),
                  lilv_new_uri(world, LV2_CORE__ControlPort),
                  lilv_new_uri(world, LV2_CORE__CVPort),
                  lilv_new_uri(world, LV2_ATOM__AtomPort),
                  lilv_new_uri(world, LV2_CORE__InputPort),
                  lilv_new_uri(world, LV2_CORE__connectionOptional),
                  lilv_new_uri(world, LV2_RESIZE_PORT__minimumSize),
                  lilv_new_uri(world, LV2_STATE__state)};
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world);
    for (int a = 1; a < argc; ++a) {
        LilvNode* uri = lilv_new_uri(world, argv[a]);
        const LilvPlugin* plugin = uri ? lilv_plugins_get_by_uri(plugins, uri) : nullptr;
        const std::string verdict = plugin ? probe(plugin, n, seconds) : "not found";
        std::printf("%s: %s\n", argv[a], verdict.c_str());
        std::fflush(stdout);
        lilv_node_free(uri);
    }
    for (LilvNode* node : {n.audio, n.control, n.cv, n.atom, n.input, n.optional, n.minimumSize, n.state})
        lilv_node_free(node);
    lilv_world_free(world);
    return 0;
}
