#include "command_line.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "host/audio/audio_format.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/validate/catalogue.h"

namespace vsthost {

namespace {

constexpr std::int32_t kLargestBlock = 1 << 20;
constexpr std::int32_t kMostChannels = 1024;

Failure usage(const std::string& message) { return Failure(FailureKind::usage, message); }

// The arguments after the command, walked one at a time.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::size_t first) : args(args), next(first) {}

    // Steps over the "--" that ends the options.
    bool done() {
        if (!optionsEnded && next < args.size() && args[next] == "--") {
            optionsEnded = true;
            ++next;
        }
        return next >= args.size();
    }

    // The next argument. For "--name=value" only the name, keeping the value
    // for value(). Once "--" has passed, every argument is an operand.
    std::string take() {
        std::string arg = args[next++];
        pending.reset();
        if (optionsEnded) return arg;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                pending = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        return arg;
    }

    // Whether the argument just taken is an option rather than an operand
    // (a file name, or "-" alone).
    bool isOption(const std::string& arg) const { return !optionsEnded && arg.size() > 1 && arg[0] == '-'; }

    std::string value(const std::string& option) {
        if (pending) {
            std::string v = *pending;
            pending.reset();
            return v;
        }
        if (next >= args.size()) throw usage("option " + option + " needs a value");
        return args[next++];
    }

    // The value of an option that holds one value: a second one would
    // silently replace the first.
    std::string single(const std::string& option) {
        if (!given.insert(option).second) throw usage("option " + option + " is given twice; give it once");
        return value(option);
    }
    bool wasGiven(const std::string& option) const { return given.count(option) != 0; }

    void noValue(const std::string& option) const {
        if (pending) throw usage("option " + option + " takes no value");
    }

private:
    std::set<std::string> given;
    const std::vector<std::string>& args;
    std::size_t next;
    std::optional<std::string> pending;
    bool optionsEnded = false;
};

// Hands every option to `option`, which throws for one it does not know,
// and answers the operands in order.
template <typename OnOption>
std::vector<std::string> walk(Arguments& a, const OnOption& option) {
    std::vector<std::string> operands;
    while (!a.done()) {
        std::string arg = a.take();
        if (a.isOption(arg))
            option(arg);
        else
            operands.push_back(std::move(arg));
    }
    return operands;
}

double number(const std::string& text, const std::string& option) {
    const std::optional<double> v = parseDecimal(text);
    if (!v) throw usage("option " + option + " needs a finite number, not '" + text + "'");
    return *v;
}

template <typename Whole = std::int64_t>
Whole integer(const std::string& text, const std::string& option) {
    const std::optional<Whole> v = parseWholeNumber<Whole>(text);
    if (!v) throw usage("option " + option + " needs a whole number, not '" + text + "'");
    return *v;
}

// A whole number from `lowest` to `highest`; `what` names it: "a count".
std::int64_t wholeInRange(const std::string& text, const std::string& option, const std::string& what,
                          std::int64_t lowest, std::int64_t highest) {
    const std::int64_t v = integer(text, option);
    if (v < lowest || v > highest)
        throw usage("option " + option + " needs " + what + " from " + std::to_string(lowest) + " to " +
                    std::to_string(highest) + ", not " + text);
    return v;
}

// "WIDTHxHEIGHT" within the picture's limits.
PictureSize pictureSize(const std::string& text) {
    auto refuse = [&] {
        return usage("option --spectrogram-size needs WIDTHxHEIGHT from " + std::to_string(PictureSize::kMinWidth) +
                     "x" + std::to_string(PictureSize::kMinHeight) + " to " + std::to_string(PictureSize::kMaxWidth) +
                     "x" + std::to_string(PictureSize::kMaxHeight) + ", not '" + text + "'");
    };
    const auto x = text.find('x');
    if (x == std::string::npos) throw refuse();
    const auto width = parseWholeNumber<std::int32_t>(std::string_view(text).substr(0, x));
    const auto height = parseWholeNumber<std::int32_t>(std::string_view(text).substr(x + 1));
    if (!width || !height || *width < PictureSize::kMinWidth || *width > PictureSize::kMaxWidth ||
        *height < PictureSize::kMinHeight || *height > PictureSize::kMaxHeight)
        throw refuse();
    return {*width, *height};
}

TimeSignature timeSignature(const std::string& text) {
    const std::size_t slash = text.find('/');
    auto fail = [&] { return usage("option --time-sig needs a signature such as 4/4 or 6/8, not '" + text + "'"); };
    if (slash == std::string::npos) throw fail();
    const auto n = parseWholeNumber<std::int64_t>(std::string_view(text).substr(0, slash));
    const auto d = parseWholeNumber<std::int64_t>(std::string_view(text).substr(slash + 1));
    if (!n || !d) throw fail();
    const bool powerOfTwo = *d > 0 && (*d & (*d - 1)) == 0;
    if (*n < 1 || *n > 64 || !powerOfTwo || *d > 64) throw fail();
    return {static_cast<std::int32_t>(*n), static_cast<std::int32_t>(*d)};
}

ParameterSetting setting(const std::string& text, const std::string& option, bool normalized) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == text.size())
        throw usage("option " + option + " needs NAME=VALUE, not '" + text + "'");
    ParameterSetting s{text.substr(0, eq), text.substr(eq + 1), normalized};
    if (normalized) {
        const double x = number(s.value, option + " " + s.name);
        if (x < 0.0 || x > 1.0)
            throw usage("option " + option + " " + s.name + " needs a value from 0 to 1, not '" + s.value + "'");
    }
    return s;
}

// --set, --set-normalized and --preset; false when `option` is none of them.
bool settingOption(Arguments& a, const std::string& option, std::vector<ParameterSetting>& settings) {
    if (option == "--preset") {
        const std::string name = a.single(option);
        if (name.empty()) throw usage("option --preset needs a preset's name or URI");
        for (const ParameterSetting& s : settings)
            if (s.preset) throw usage("--preset is given twice ('" + s.value + "' and '" + name + "'); give one");
        settings.push_back({"", name, false, true});
        return true;
    }
    if (option != "--set" && option != "--set-normalized") return false;
    settings.push_back(setting(a.value(option), option, option == "--set-normalized"));
    return true;
}

// Options every rendering command takes; false when `option` is not one.
bool renderOption(Arguments& a, const std::string& option, RenderSettingsOptions& r, bool& sizeGiven) {
    if (settingOption(a, option, r.settings)) {
    } else if (option == "--plugin") {
        r.plugin = a.single(option);
    } else if (option == "--block") {
        r.blockSize = static_cast<std::int32_t>(wholeInRange(a.single(option), option, "a size", 1, kLargestBlock));
    } else if (option == "--overwrite") {
        a.noValue(option);
        r.overwrite = true;
    } else if (option == "--quiet" || option == "-q") {
        a.noValue(option);
        r.quiet = true;
    } else if (option == "--spectrogram") {
        r.spectrogram = a.single(option);
    } else if (option == "--spectrogram-size") {
        r.spectrogramSize = pictureSize(a.single(option));
        sizeGiven = true;
    } else if (option == "--keep-bad-output") {
        a.noValue(option);
        r.keepBadOutput = true;
    } else if (option == "--no-latency-compensation") {
        a.noValue(option);
        r.compensateLatency = false;
    } else if (option == "--channels") {
        r.channels = static_cast<std::int32_t>(wholeInRange(a.single(option), option, "a count", 1, kMostChannels));
    } else if (option == "--sample-format") {
        const std::string name = a.single(option);
        if (!sampleFormatsNamed(name))
            throw usage("option --sample-format takes 8, 16, 24, 32, float or double, not '" + name + "'");
        r.sampleFormat = name;
    } else if (option == "--quality") {
        const std::string text = a.value(option);
        const double quality = number(text, option);
        if (!(quality >= 0.0 && quality <= 1.0))
            throw usage("option --quality takes a number from 0 (smallest file) to 1 (best sound), not '" + text + "'");
        r.quality = quality;
    } else if (option == "--format") {
        std::string extension = a.single(option);
        if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
        if (!containerFor("x." + extension))
            throw usage("option --format takes an extension (" + knownExtensions() + "), not '" + extension + "'");
        r.format = extension;
    } else {
        return false;
    }
    return true;
}

// Options that mean nothing without another one.
void checkRenderOptions(const RenderSettingsOptions& r, bool sizeGiven) {
    if (sizeGiven && !r.spectrogram)
        throw usage("option --spectrogram-size needs --spectrogram OUT.png, which draws the picture it sizes");
}

RenderCommand parseRender(Arguments& a) {
    RenderCommand c;
    bool sizeGiven = false;
    const std::vector<std::string> files = walk(a, [&](const std::string& arg) {
        if (renderOption(a, arg, c.render, sizeGiven)) {
        } else if (arg == "--bpm") {
            const std::string text = a.single(arg);
            c.bpm = number(text, arg);
            if (c.bpm <= 0.0) throw usage("option --bpm needs a positive tempo, not '" + text + "'");
        } else if (arg == "--start-beat") {
            c.startBeat = number(a.single(arg), arg);
        } else if (arg == "--time-sig") {
            c.timeSignature = timeSignature(a.single(arg));
        } else if (arg == "--automate") {
            c.automation.push_back(parseAutomate(a.value(arg)));
        } else if (arg == "--automation") {
            c.automationFiles.push_back(a.value(arg));
        } else if (arg == "--tempo-map") {
            if (a.wasGiven(arg)) throw usage("option --tempo-map is given twice; give all changes in one");
            c.tempoChanges = parseTempoMap(a.single(arg));
        } else if (arg == "--tail") {
            const std::string text = a.single(arg);
            c.tailSeconds = number(text, arg);
            if (c.tailSeconds < 0.0 || c.tailSeconds > 3600.0)
                throw usage("option --tail needs seconds from 0 to 3600, not '" + text + "'");
        } else if (arg == "--sidechain") {
            c.sidechain = a.single(arg);
        } else {
            throw usage("unknown option '" + arg + "' for render; see dravelkint render --help");
        }
    });
    checkRenderOptions(c.render, sizeGiven);
    // --bpm is the tempo until the map's first change: a map that starts at
    // the first sample leaves it nothing to say.
    if (a.wasGiven("--bpm") && !c.tempoChanges.empty() && c.tempoChanges.front().beat <= c.startBeat)
        throw usage("options --bpm and --tempo-map both give the tempo at the start (beat " + numberText(c.startBeat) +
                    "); give it once, in the tempo map or with --bpm");
    if (files.size() != 2)
        throw usage("render needs an input and an output file (dravelkint render IN OUT [options]), got " +
                    std::to_string(files.size()));
    c.input = files[0];
    c.render.output = files[1];
    return c;
}

DemoCommand parseDemo(Arguments& a) {
    DemoCommand c;
    c.render.output = "dravelkint-demo.wav";
    bool sizeGiven = false;
    const std::vector<std::string> files = walk(a, [&](const std::string& arg) {
        if (renderOption(a, arg, c.render, sizeGiven)) {
        } else if (arg == "--bars") {
            c.bars = static_cast<std::int32_t>(wholeInRange(a.single(arg), arg, "a count", 1, 10000));
        } else if (arg == "--dry") {
            a.noValue(arg);
            c.dry = true;
        } else {
            throw usage("unknown option '" + arg + "' for demo; see dravelkint demo --help");
        }
    });
    checkRenderOptions(c.render, sizeGiven);
    if (c.dry && !c.render.settings.empty())
        throw usage("demo --dry runs no plug-in, so there is nothing to set; leave out --dry or the settings");
    if (c.dry && c.render.plugin) throw usage("demo --dry runs no plug-in; leave out --dry or --plugin");
    if (files.size() > 1) throw usage("demo takes at most one output file");
    if (!files.empty()) c.render.output = files[0];
    return c;
}

InfoCommand parseInfo(Arguments& a) {
    InfoCommand c;
    const std::vector<std::string> files = walk(a, [&](const std::string& arg) {
        if (settingOption(a, arg, c.settings)) {
        } else if (arg == "--plugin") {
            c.plugin = a.single(arg);
        } else if (arg == "--json") {
            a.noValue(arg);
            c.json = true;
        } else {
            throw usage("unknown argument '" + arg + "' for info; see dravelkint info --help");
        }
    });
    if (files.size() > 1 || (!files.empty() && c.plugin))
        throw usage("unknown argument '" + files.back() + "' for info; see dravelkint info --help");
    if (!files.empty()) c.plugin = files.front();
    return c;
}

std::vector<std::string> chosenGroups(const std::string& option, const std::string& text) {
    const std::vector<std::string> groups = validate::groupNames();
    std::string known;
    for (const std::string& group : groups) known += (known.empty() ? "" : ", ") + group;
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        if (std::find(groups.begin(), groups.end(), name) == groups.end())
            throw usage("option " + option + ": no check group '" + name + "'; the groups are " + known);
        names.push_back(name);
        start = comma + 1;
    }
    return names;
}

ValidateCommand parseValidate(Arguments& a) {
    ValidateCommand c;
    const std::vector<std::string> files = walk(a, [&](const std::string& arg) {
        if (arg == "--plugin") {
            c.plugin = a.single(arg);
        } else if (arg == "--strictness") {
            c.strictness = static_cast<int>(
                wholeInRange(a.single(arg), arg, "a level", validate::kMinStrictness, validate::kMaxStrictness));
        } else if (arg == "--seed") {
            c.seed = integer<std::uint64_t>(a.single(arg), arg);
        } else if (arg == "--only") {
            for (std::string& name : chosenGroups(arg, a.value(arg))) c.only.push_back(std::move(name));
        } else if (arg == "--timeout" || arg == "--call-limit") {
            const std::string text = a.single(arg);
            const std::optional<double> seconds = parseDecimal(text);
            // Past a week the deadline no longer fits the clock's range.
            constexpr double kLongestSeconds = 7 * 24 * 3600;
            if (!seconds || *seconds <= 0.0 || *seconds > kLongestSeconds)
                throw usage("option " + arg + " needs a number of seconds above 0 and at most 604800 (a week), not '" +
                            text + "'");
            (arg == "--timeout" ? c.timeoutSeconds : c.callLimitSeconds) = *seconds;
        } else if (arg == "--child") {
            c.child = a.single(arg);
        } else if (arg == "--save-sequences") {
            c.saveSequences = a.single(arg);
        } else if (arg == "--replay") {
            c.replay = a.single(arg);
        } else if (arg == "--json") {
            a.noValue(arg);
            c.json = true;
        } else {
            throw usage("unknown option '" + arg + "' for validate; see dravelkint validate --help");
        }
    });
    if (files.size() > 1 || (!files.empty() && c.plugin))
        throw usage("validate takes one plug-in, as PATH or --plugin PATH, not '" + files.back() + "' as well");
    if (!files.empty()) c.plugin = files.front();
    return c;
}

ListCommand parseList(Arguments& a) {
    ListCommand c;
    const std::vector<std::string> operands = walk(a, [&](const std::string& arg) {
        if (arg == "--json") {
            a.noValue(arg);
            c.json = true;
        } else if (arg == "--format") {
            const std::string name = a.single(arg);
            if (name != "lv2" && name != "vst2") throw usage("option --format takes lv2 or vst2, not '" + name + "'");
            c.format = name == "lv2" ? ListCommand::Format::lv2 : ListCommand::Format::vst2;
        } else if (arg == "--describe") {
            c.describe = a.single(arg);
        } else {
            throw usage("unknown option '" + arg + "' for list; see dravelkint list --help");
        }
    });
    if (!operands.empty()) throw usage("list takes no file, not '" + operands.front() + "'");
    return c;
}

// --help or -h among the options, before any "--".
bool asksForHelp(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i)
        if (args[i] == "--help" || args[i] == "-h") return true;
    return false;
}

const std::vector<std::string> kCommands{"render", "demo", "info", "validate", "list"};

}  // namespace

Command parseCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) throw usage("no command given; see dravelkint --help");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") return HelpCommand{};
    if (command == "--version" || command == "-V") return VersionCommand{};
    if (command == "help") {
        if (args.size() == 1) return HelpCommand{};
        if (std::find(kCommands.begin(), kCommands.end(), args[1]) == kCommands.end())
            throw usage("no help on '" + args[1] + "'; the commands are render, demo, info, validate and list");
        return HelpCommand{args[1]};
    }
    const bool known = std::find(kCommands.begin(), kCommands.end(), command) != kCommands.end();
    if (!known)
        throw usage("unknown command '" + command +
                    "'; the commands are render, demo, info, validate and list (see dravelkint --help)");
    if (asksForHelp(args)) return HelpCommand{command};
    Arguments a(args, 1);
    if (command == "render") return parseRender(a);
    if (command == "demo") return parseDemo(a);
    if (command == "info") return parseInfo(a);
    if (command == "list") return parseList(a);
    return parseValidate(a);
}

}  // namespace vsthost
