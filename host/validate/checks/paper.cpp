// An LV2 plug-in's bundle checked on paper: what its data says, read through
// lilv, against the LV2 vocabularies and against its own binary. Only the
// checks that ask the binary what it answers run its code, each in a forked
// copy of this process, so that a crash there is a finding, not the end.
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/event/event.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/plugin/lv2/host_features.h"
#include "host/plugin/lv2/lilv_node.h"
#include "host/validate/catalogue.h"
#include "host/validate/lv2/elf_dynamic.h"
#include "host/validate/lv2/forked_answer.h"
#include "host/validate/lv2/lv2_subject.h"

namespace vsthost::validate {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr const char* kSeeAlso = "http://www.w3.org/2000/01/rdf-schema#seeAlso";
constexpr const char* kDoapName = "http://usefulinc.com/ns/doap#name";
constexpr const char* kDoapLicense = "http://usefulinc.com/ns/doap#license";
constexpr double kRate = 48000.0;
// The rates hosts run at, for bounds given as multiples of the rate.
constexpr double kLowestRate = 8000.0;
constexpr double kHighestRate = 192000.0;

// Extension data hosts commonly ask for that no vocabulary in the LV2
// package defines.
constexpr const char* kWellKnownExtensions[] = {
    "http://harrisonconsoles.com/lv2/inlinedisplay#interface",
    "http://ardour.org/lv2/midnam#interface",
    "http://ardour.org/lv2/bankpatch#interface",
};

// The libraries of a user interface, which a DSP binary loaded into a
// headless host or a real-time process should not pull in.
constexpr const char* kToolkitPrefixes[] = {"libgtk", "libgdk",   "libQt",   "libX",   "libxcb", "libcairo", "libGL",
                                            "libEGL", "libpango", "libfltk", "libwx_", "libSDL", "libglfw",  "libntk"};

// The findings of one check, the worst first when it becomes an outcome.
class Findings {
public:
    void add(Verdict verdict, std::string message) { list_.push_back({verdict, std::move(message)}); }
    Outcome outcome(std::string passMessage) const {
        if (list_.empty()) return passed(std::move(passMessage));
        std::vector<Finding> sorted = list_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Finding& a, const Finding& b) { return rank(a.verdict) > rank(b.verdict); });
        Outcome result{sorted.front().verdict, sorted.front().message};
        result.others.assign(sorted.begin() + 1, sorted.end());
        return result;
    }

private:
    static int rank(Verdict v) { return v == Verdict::fail ? 3 : v == Verdict::warn ? 2 : v == Verdict::skip ? 1 : 0; }
    std::vector<Finding> list_;
};

class Paper {
public:
    explicit Paper(const CheckContext& context)
        : subject(*context.lv2), world(subject.data.world()), plugin(subject.data.plugin()) {}

    LilvNodeOwner uri(const char* text) const { return LilvNodeOwner(lilv_new_uri(world, text)); }
    LilvNodeOwner portValue(const LilvPort* port, const char* predicate) const {
        return LilvNodeOwner(lilv_port_get(plugin, port, uri(predicate).get()));
    }
    bool portIs(const LilvPort* port, const char* cls) const { return lilv_port_is_a(plugin, port, uri(cls).get()); }
    std::vector<std::string> pluginValues(const char* predicate) const {
        const LilvNodesOwner values(lilv_plugin_get_value(plugin, uri(predicate).get()));
        return texts(values.get());
    }
    static std::vector<std::string> texts(const LilvNodes* nodes) {
        std::vector<std::string> out;
        LILV_FOREACH(nodes, i, nodes) out.push_back(nodeText(lilv_nodes_get(nodes, i)));
        return out;
    }
    std::string portName(const LilvPort* port) const {
        const std::string symbol = nodeText(lilv_port_get_symbol(plugin, port));
        return "port " + std::to_string(lilv_port_get_index(plugin, port)) +
               (symbol.empty() ? "" : " (" + symbol + ")");
    }
    std::string binaryPath() const {
        const LilvNode* library = lilv_plugin_get_library_uri(plugin);
        if (library == nullptr) return "";
        char* file = lilv_file_uri_parse(lilv_node_as_uri(library), nullptr);
        const std::string path = file == nullptr ? "" : file;
        lilv_free(file);
        return path;
    }
    std::string pluginUri() const { return nodeText(lilv_plugin_get_uri(plugin)); }

    const Lv2Subject& subject;
    LilvWorld* world;
    const LilvPlugin* plugin;
};

std::optional<double> number(const LilvNode* node) {
    if (node == nullptr || !(lilv_node_is_float(node) || lilv_node_is_int(node))) return std::nullopt;
    return static_cast<double>(lilv_node_as_float(node));
}

std::string figure(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string listed(const std::vector<std::string>& items, std::size_t most = 6) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < most; ++i) text += (i == 0 ? "" : ", ") + items[i];
    if (items.size() > most) text += " and " + std::to_string(items.size() - most) + " more";
    return text;
}

double probeLimit(const CheckContext& context) {
    // Within the call limit of the process running the group, which would
    // otherwise take the wait for a hang of its own.
    return context.run != nullptr ? 0.75 * context.run->callLimitSeconds : 15.0;
}

// Control ports' numeric bounds, where the data gives both.
struct Range {
    double minimum;
    double maximum;
};
std::optional<Range> rangeOf(const Paper& paper, const LilvPort* port) {
    const LilvNodeOwner min = paper.portValue(port, LV2_CORE__minimum);
    const LilvNodeOwner max = paper.portValue(port, LV2_CORE__maximum);
    const std::optional<double> low = number(min.get());
    const std::optional<double> high = number(max.get());
    if (!low || !high) return std::nullopt;
    return Range{*low, *high};
}

template <class Each>
void forEachPort(const Paper& paper, Each each) {
    const std::uint32_t count = lilv_plugin_get_num_ports(paper.plugin);
    for (std::uint32_t i = 0; i < count; ++i)
        if (const LilvPort* port = lilv_plugin_get_port_by_index(paper.plugin, i); port != nullptr) each(port);
}

Outcome ports(CheckContext& context) {
    const Paper paper(context);
    Findings findings;
    if (!lilv_plugin_verify(paper.plugin)) {
        std::vector<std::string> missing;
        if (paper.pluginValues(kRdfType).empty()) missing.push_back("a type");
        if (paper.pluginValues(kDoapName).empty()) missing.push_back("a doap:name");
        if (paper.pluginValues(LV2_CORE__port).empty()) missing.push_back("a port");
        findings.add(Verdict::fail,
                     "lilv finds the data invalid" +
                         (missing.empty() ? std::string(" (it does not parse)") : ": it gives no " + listed(missing)));
    }
    static const std::regex identifier("^[A-Za-z_][A-Za-z0-9_]*$");
    std::set<std::string> symbols;
    const std::uint32_t count = lilv_plugin_get_num_ports(paper.plugin);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(paper.plugin, i);
        if (port == nullptr) {
            findings.add(Verdict::fail,
                         "no port has index " + std::to_string(i) + " of 0 to " + std::to_string(count - 1));
            continue;
        }
        const std::string where = paper.portName(port);
        const std::string symbol = nodeText(lilv_port_get_symbol(paper.plugin, port));
        if (symbol.empty())
            findings.add(Verdict::fail, where + " has no lv2:symbol");
        else if (!std::regex_match(symbol, identifier))
            findings.add(Verdict::fail, where + "'s symbol is no C identifier");
        else if (!symbols.insert(symbol).second)
            findings.add(Verdict::fail, where + "'s symbol is also another port's");
        const LilvNodeOwner name(lilv_port_get_name(paper.plugin, port));
        if (nodeText(name.get()).empty()) findings.add(Verdict::fail, where + " has no lv2:name");
        const bool input = paper.portIs(port, LV2_CORE__InputPort);
        if (input == paper.portIs(port, LV2_CORE__OutputPort))
            findings.add(Verdict::fail,
                         where + (input ? " is both an input and an output" : " is neither an input nor an output"));
        bool typed = false;
        for (const char* type :
             {LV2_CORE__AudioPort, LV2_CORE__ControlPort, LV2_CORE__CVPort, LV2_ATOM__AtomPort, LV2_EVENT__EventPort})
            typed |= paper.portIs(port, type);
        if (!typed) findings.add(Verdict::fail, where + " is of no port type of the LV2 vocabularies");
    }
    return findings.outcome(std::to_string(count) + " ports, each with an index, a symbol and a name");
}

Outcome defaults(CheckContext& context) {
    const Paper paper(context);
    Findings findings;
    int judged = 0;
    forEachPort(paper, [&](const LilvPort* port) {
        if (!paper.portIs(port, LV2_CORE__ControlPort) && !paper.portIs(port, LV2_CORE__CVPort)) return;
        const std::string where = paper.portName(port);
        const std::optional<Range> range = rangeOf(paper, port);
        if (range && range->minimum > range->maximum)
            findings.add(Verdict::fail, where + "'s minimum " + figure(range->minimum) + " is above its maximum " +
                                            figure(range->maximum));
        // As the data says it: a host that clamps it would hide the fault.
        const LilvNodeOwner given = paper.portValue(port, LV2_CORE__default);
        if (!given || !paper.portIs(port, LV2_CORE__InputPort)) return;
        const std::optional<double> value = number(given.get());
        if (!value) {
            findings.add(Verdict::fail, where + "'s default \"" + nodeText(given.get()) + "\" is no number");
            return;
        }
        if (!range) return;
        ++judged;
        // Its bounds are multiples of the sample rate; whether the default is
        // too the core does not say, and plug-ins give it either way.
        const bool inHertz = lilv_port_has_property(paper.plugin, port, paper.uri(LV2_CORE__sampleRate).get()) &&
                             *value >= range->minimum * kLowestRate && *value <= range->maximum * kHighestRate;
        if (!std::isfinite(*value) || ((*value < range->minimum || *value > range->maximum) && !inHertz))
            findings.add(Verdict::fail, where + "'s default " + figure(*value) + " is outside its range " +
                                            figure(range->minimum) + " to " + figure(range->maximum));
    });
    return findings.outcome(std::to_string(judged) + " defaults within their ranges");
}

Outcome scalePoints(CheckContext& context) {
    const Paper paper(context);
    Findings findings;
    int judged = 0;
    forEachPort(paper, [&](const LilvPort* port) {
        LilvScalePoints* points = lilv_port_get_scale_points(paper.plugin, port);
        if (points == nullptr) return;
        const std::optional<Range> range = rangeOf(paper, port);
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            const std::string label = nodeText(lilv_scale_point_get_label(point));
            const std::optional<double> value = number(lilv_scale_point_get_value(point));
            const std::string where = paper.portName(port) + "'s scale point \"" + label + "\"";
            if (!value) {
                findings.add(Verdict::fail, where + " has no numeric value");
                continue;
            }
            if (!range) continue;
            ++judged;
            if (*value < range->minimum || *value > range->maximum)
                findings.add(Verdict::fail, where + " (" + figure(*value) + ") is outside the port's range " +
                                                figure(range->minimum) + " to " + figure(range->maximum));
        }
        lilv_scale_points_free(points);
    });
    return findings.outcome(std::to_string(judged) + " scale points within their ports' ranges");
}

Outcome units(CheckContext& context) {
    const Paper paper(context);
    const Lv2Vocabulary& vocabulary = paper.subject.vocabulary;
    if (vocabulary.empty()) return skipped("no LV2 vocabularies in " + vocabulary.folder() + " to judge by");
    Findings findings;
    int judged = 0;
    const std::string prefix = LV2_UNITS_PREFIX;
    forEachPort(paper, [&](const LilvPort* port) {
        const LilvNodeOwner unit = paper.portValue(port, LV2_UNITS__unit);
        if (!unit) return;
        ++judged;
        const std::string where = paper.portName(port) + "'s unit ";
        const std::string text = nodeText(unit.get());
        if (!lilv_node_is_uri(unit.get()) && !lilv_node_is_blank(unit.get())) {
            findings.add(context.failFrom(7), where + "\"" + text + "\" is a literal, not a unit's URI");
        } else if (text.rfind(prefix, 0) == 0) {
            if (!vocabulary.isUnit(text))
                findings.add(context.failFrom(7), where + text + " is no unit of the units vocabulary");
        } else {
            // A unit of the plug-in's own must say how a host shows it.
            const LilvNodeOwner symbol(
                lilv_world_get(paper.world, unit.get(), paper.uri(LV2_UNITS__symbol).get(), nullptr));
            if (!symbol)
                findings.add(Verdict::warn, where + (lilv_node_is_blank(unit.get()) ? "of its own" : text) +
                                                " is a unit of its own without units:symbol");
        }
    });
    return findings.outcome(std::to_string(judged) + " units, each known");
}

// The host's features, only those with the URIs in `wanted` when given.
std::vector<const LV2_Feature*> featureList(const HostFeatures& all, const std::set<std::string>* wanted) {
    std::vector<const LV2_Feature*> list;
    for (const LV2_Feature* const* f = all.list(); *f != nullptr; ++f)
        if (wanted == nullptr || wanted->count((*f)->URI) > 0) list.push_back(*f);
    list.push_back(nullptr);
    return list;
}

// "made", "refused" or how the copy died, for an instance made with the
// host's features (only `wanted` among them when given).
std::string madeWith(const CheckContext& context, const Paper& paper, const std::set<std::string>* wanted) {
    const ForkedAnswer answer = answerInFork(
        [&] {
            UridMap map;
            WorkQueue work(nullptr);
            HostFeatures features(map, work);
            const std::vector<const LV2_Feature*> list = featureList(features, wanted);
            // Left to the copy's end: a cleanup that fails is no feature's
            // doing, and lifecycle.open-close frees instances never activated.
            LilvInstance* instance = lilv_plugin_instantiate(paper.plugin, kRate, list.data());
            return std::string(instance == nullptr ? "refused" : "made");
        },
        probeLimit(context));
    return answer.text ? *answer.text : answer.death;
}

Outcome requiredFeatures(CheckContext& context) {
    const Paper paper(context);
    const Lv2Vocabulary& vocabulary = paper.subject.vocabulary;
    Findings findings;
    const LilvNodesOwner required(lilv_plugin_get_required_features(paper.plugin));
    const std::vector<std::string> uris = Paper::texts(required.get());
    std::vector<std::string> notGiven;
    for (const std::string& feature : uris) {
        if (!vocabulary.empty() && !vocabulary.isFeature(feature))
            findings.add(context.failFrom(7),
                         "it requires " + feature + ", which no LV2 vocabulary installed defines as a feature");
        if (!HostFeatures::provides(feature)) notGiven.push_back(feature);
    }
    if (!notGiven.empty()) {
        findings.add(Verdict::skip,
                     "not made with only the features it requires: this host does not give " + listed(notGiven));
        return findings.outcome("");
    }
    // What it needs beyond its data shows when it is offered only that.
    const std::string everything = madeWith(context, paper, nullptr);
    const std::set<std::string> wanted(uris.begin(), uris.end());
    const std::string only = madeWith(context, paper, &wanted);
    const std::string asked = uris.empty() ? "no feature (its data requires none)" : listed(uris, 99);
    if (everything != "made") {
        if (only != "made" && only != "refused")
            findings.add(Verdict::fail, "offered only " + asked + ", its instantiate " + only);
        else
            findings.add(Verdict::skip, "not judged: with every feature this host gives, its instantiate " +
                                            (everything == "refused" ? std::string("answered nothing") : everything));
    } else if (only == "refused") {
        findings.add(Verdict::fail, "offered only " + asked +
                                        ", its instantiate answered nothing: it needs a feature its data does not "
                                        "require (with every feature this host gives it is made)");
    } else if (only != "made") {
        findings.add(Verdict::fail, "offered only " + asked + ", its instantiate " + only);
    }
    return findings.outcome("made with only the features its data requires (" +
                            (uris.empty() ? std::string("none") : listed(uris)) + ")");
}

Outcome binary(CheckContext& context) {
    const Paper paper(context);
    const std::string path = paper.binaryPath();
    if (path.empty()) return failed("its data names no lv2:binary");
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return failed("its lv2:binary " + path + " is not there");
    const ElfDynamic elf = readElfDynamic(path);
    if (!elf.problem.empty()) return failed(path + " " + elf.problem);
    if (!elf.forThisMachine) return failed(path + " is built for another machine");
    if (std::find(elf.exports.begin(), elf.exports.end(), "lv2_descriptor") == elf.exports.end())
        return passed(path + " is a library for this machine (it offers no lv2_descriptor to ask for the URI)");
    const std::string uri = paper.pluginUri();
    const ForkedAnswer answer = answerInFork(
        [&] {
            void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle == nullptr) return "!" + std::string(::dlerror());
            using Entry = const LV2_Descriptor* (*)(std::uint32_t);
            const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "lv2_descriptor"));
            std::string uris;
            // A bound, for a library whose list has no end.
            for (std::uint32_t i = 0; entry != nullptr && i < 4096; ++i) {
                const LV2_Descriptor* descriptor = entry(i);
                if (descriptor == nullptr) break;
                uris += std::string(descriptor->URI != nullptr ? descriptor->URI : "") + "\n";
            }
            return uris;
        },
        probeLimit(context));
    if (!answer.text) return failed("loading " + path + " and asking its lv2_descriptor " + answer.death);
    if (!answer.text->empty() && answer.text->front() == '!')
        return failed(path + " does not load: " + answer.text->substr(1));
    std::vector<std::string> offered;
    std::istringstream lines(*answer.text);
    for (std::string line; std::getline(lines, line);) offered.push_back(line);
    if (std::find(offered.begin(), offered.end(), uri) == offered.end())
        return failed("lv2_descriptor of " + path + " offers no plug-in with the URI " + uri + " (it offers " +
                      (offered.empty() ? std::string("none") : listed(offered)) + ")");
    return passed(path + " loads and offers " + uri);
}

Outcome extensionData(CheckContext& context) {
    const Paper paper(context);
    const std::vector<std::string> declared = paper.pluginValues(LV2_CORE__extensionData);
    std::vector<std::string> asked = declared;
    for (const std::string& uri : paper.subject.vocabulary.extensionData()) asked.push_back(uri);
    for (const char* uri : kWellKnownExtensions) asked.push_back(uri);
    std::sort(asked.begin(), asked.end());
    asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
    const LilvNodesOwner required(lilv_plugin_get_required_features(paper.plugin));
    for (const std::string& feature : Paper::texts(required.get()))
        if (!HostFeatures::provides(feature))
            return skipped("not made: this host does not give the feature " + feature + " it requires");
    const ForkedAnswer answer = answerInFork(
        [&] {
            UridMap map;
            WorkQueue work(nullptr);
            HostFeatures features(map, work);
            LilvInstance* instance = lilv_plugin_instantiate(paper.plugin, kRate, features.list());
            if (instance == nullptr) return std::string("!");
            std::string answered;
            for (const std::string& uri : asked)
                if (lilv_instance_get_extension_data(instance, uri.c_str()) != nullptr) answered += uri + "\n";
            return answered;  // the instance left to the copy's end, as above
        },
        probeLimit(context));
    if (!answer.text) return failed("making it and asking for its extension data: it " + answer.death);
    if (*answer.text == "!")
        return skipped("not asked: its instantiate answered nothing with every feature this host gives");
    std::set<std::string> answered;
    std::istringstream lines(*answer.text);
    for (std::string line; std::getline(lines, line);) answered.insert(line);
    Findings findings;
    for (const std::string& uri : declared)
        if (answered.count(uri) == 0)
            findings.add(Verdict::fail, "its data declares the extension data " + uri + ", which it does not answer");
    for (const std::string& uri : answered)
        if (std::find(declared.begin(), declared.end(), uri) == declared.end())
            findings.add(Verdict::warn, "it answers the extension data " + uri +
                                            ", which its data does not declare: hosts may not look for it");
    return findings.outcome("answers the extension data its data declares (" +
                            (declared.empty() ? std::string("none") : listed(declared)) + ") and no other of " +
                            std::to_string(asked.size()) + " asked");
}

Outcome exports(CheckContext& context) {
    const Paper paper(context);
    const std::string path = paper.binaryPath();
    const ElfDynamic elf = readElfDynamic(path);
    if (!elf.problem.empty())
        return skipped("its binary " + (path.empty() ? std::string("is not named") : elf.problem));
    const auto exported = [&](const char* name) {
        return std::find(elf.exports.begin(), elf.exports.end(), name) != elf.exports.end();
    };
    if (!exported("lv2_descriptor") && !exported("lv2_lib_descriptor"))
        return failed("the binary exports neither lv2_descriptor nor lv2_lib_descriptor");
    Findings findings;
    std::vector<std::string> others;
    for (const std::string& name : elf.exports) {
        if (name == "lv2_descriptor" || name == "lv2_lib_descriptor") continue;
        if (name == "lv2ui_descriptor")
            findings.add(Verdict::warn, "the binary also exports lv2ui_descriptor: a user interface in the DSP binary");
        else
            others.push_back(name);
    }
    if (!others.empty())
        findings.add(Verdict::warn, "the binary exports " + std::to_string(others.size()) +
                                        " symbols besides its entry point, which may clash with the host's or other "
                                        "plug-ins': " +
                                        listed(others, 4));
    return findings.outcome("the binary exports its entry point alone");
}

Outcome libraries(CheckContext& context) {
    const Paper paper(context);
    const std::string path = paper.binaryPath();
    const ElfDynamic elf = readElfDynamic(path);
    if (!elf.problem.empty())
        return skipped("its binary " + (path.empty() ? std::string("is not named") : elf.problem));
    std::vector<std::string> toolkits;
    for (const std::string& library : elf.needed)
        for (const char* prefix : kToolkitPrefixes)
            if (library.rfind(prefix, 0) == 0) {
                toolkits.push_back(library);
                break;
            }
    if (!toolkits.empty())
        return {context.failFrom(7), "the DSP binary links " + listed(toolkits) +
                                         ": a user interface's libraries, loaded even where no window can open"};
    return passed("links " + std::to_string(elf.needed.size()) + " libraries, none of a user interface" +
                  (elf.needed.empty() ? "" : " (" + listed(elf.needed) + ")"));
}

Outcome pluginClass(CheckContext& context) {
    const Paper paper(context);
    const std::string core = LV2_CORE_PREFIX;
    std::vector<std::string> classes;
    for (const std::string& type : paper.pluginValues(kRdfType))
        if (type.rfind(core, 0) == 0 && type != LV2_CORE__Plugin) classes.push_back(type);
    if (classes.empty()) return warned("its data gives no class but lv2:Plugin, so hosts file it under no category");
    Findings findings;
    const Lv2Vocabulary& vocabulary = paper.subject.vocabulary;
    for (const std::string& cls : classes)
        if (!vocabulary.empty() && !vocabulary.isPluginClass(cls))
            findings.add(Verdict::warn, cls + " is no plug-in class of the LV2 core");
    return findings.outcome("of the class " + listed(classes));
}

Outcome licence(CheckContext& context) {
    const Paper paper(context);
    std::vector<std::string> licences = paper.pluginValues(kDoapLicense);
    if (licences.empty()) {
        const LilvNodeOwner project(lilv_plugin_get_project(paper.plugin));
        if (project) {
            const LilvNodesOwner found(
                lilv_world_find_nodes(paper.world, project.get(), paper.uri(kDoapLicense).get(), nullptr));
            licences = Paper::texts(found.get());
        }
    }
    if (licences.empty()) return warned("neither the plug-in nor its project gives a doap:license");
    return passed("licensed under " + listed(licences));
}

Outcome manifest(CheckContext& context) {
    const Paper paper(context);
    const std::string uri = paper.pluginUri();
    // A world of the manifest alone: lilv reads the data it points to only
    // when asked about the plug-in, so what is here is what the manifest says.
    // Freed after the nodes made in it, which free themselves through it.
    const std::unique_ptr<LilvWorld, void (*)(LilvWorld*)> world(lilv_world_new(), lilv_world_free);
    LilvWorld* alone = world.get();
    const LilvNodeOwner bundle(lilv_new_uri(alone, nodeText(lilv_plugin_get_bundle_uri(paper.plugin)).c_str()));
    lilv_world_load_bundle(alone, bundle.get());
    const auto node = [&](const char* text) { return LilvNodeOwner(lilv_new_uri(alone, text)); };
    const LilvNodeOwner subject = node(uri.c_str());
    Findings findings;
    if (!lilv_world_ask(alone, subject.get(), node(kRdfType).get(), node(LV2_CORE__Plugin).get()))
        findings.add(Verdict::fail, "the manifest.ttl does not say " + uri + " a lv2:Plugin");
    const LilvNodesOwner binaries(lilv_world_find_nodes(alone, subject.get(), node(LV2_CORE__binary).get(), nullptr));
    const std::vector<std::string> inManifest = Paper::texts(binaries.get());
    if (inManifest.empty()) findings.add(Verdict::fail, "the manifest.ttl names no lv2:binary for " + uri);
    const LilvNodesOwner seeAlso(lilv_world_find_nodes(alone, subject.get(), node(kSeeAlso).get(), nullptr));
    for (const std::string& file : Paper::texts(seeAlso.get())) {
        char* path = lilv_file_uri_parse(file.c_str(), nullptr);
        std::error_code error;
        if (path != nullptr && !fs::is_regular_file(path, error))
            findings.add(Verdict::fail, "the manifest.ttl points to " + std::string(path) + ", which is not there");
        lilv_free(path);
    }
    // Now the data as well: it must describe the same URI and name the same binary.
    lilv_world_load_resource(alone, subject.get());
    const LilvNodesOwner allBinaries(
        lilv_world_find_nodes(alone, subject.get(), node(LV2_CORE__binary).get(), nullptr));
    const std::vector<std::string> everywhere = Paper::texts(allBinaries.get());
    if (everywhere.size() > 1)
        findings.add(Verdict::fail, "the manifest.ttl and the data name different binaries: " + listed(everywhere));
    if (!lilv_world_ask(alone, subject.get(), node(LV2_CORE__port).get(), nullptr) &&
        !lilv_world_ask(alone, subject.get(), node(kDoapName).get(), nullptr))
        findings.add(Verdict::fail, "the data the manifest.ttl points to describes nothing under " + uri);
    return findings.outcome("the manifest.ttl declares " + uri + " a lv2:Plugin with its binary, as its data does");
}

Check paper(const char* name, const char* about, Outcome (*run)(CheckContext&)) {
    return Check{std::string("paper.") + name, kMinStrictness, about, run, 1, false, Formats::lv2};
}

}  // namespace

CheckGroup paperGroup() {
    CheckGroup group{
        "paper",
        {
            paper("manifest", "the manifest.ttl declares the plug-in and its binary, and its data agrees", manifest),
            paper("ports", "lilv finds the data valid; every port has an index, a symbol, a name and a type", ports),
            paper("defaults", "every control port's default, as written, lies within its range", defaults),
            paper("scale-points", "every scale point lies within its port's range", scalePoints),
            paper("units", "every unit is one of the units vocabulary's, or of its own with a symbol (7)", units),
            paper("required-features", "the features it requires exist, and it is made when offered only those",
                  requiredFeatures),
            paper("binary", "its binary is there, a library for this machine that offers its URI", binary),
            paper("extension-data", "it answers the extension data it declares, and declares what it answers",
                  extensionData),
            paper("exports", "its binary exports lv2_descriptor alone", exports),
            paper("libraries", "its binary links no user interface's libraries (7)", libraries),
            paper("class", "its data gives a plug-in class besides lv2:Plugin", pluginClass),
            paper("licence", "the plug-in or its project gives a licence", licence),
        },
    };
    group.format = PluginFormat::lv2;
    return group;
}

}  // namespace vsthost::validate
