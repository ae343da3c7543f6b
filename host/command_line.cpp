#include "command_line.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "failure.h"

namespace vsthost {

namespace {

constexpr std::int32_t kLargestBlock = 1 << 20;

Failure usage(const std::string& message) { return Failure(FailureKind::usage, message); }

// Walks the arguments after the command; options take their value either
// joined with '=' or as the next argument.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::size_t first) : args(args), next(first) {}

    bool done() const { return next >= args.size(); }

    // The next argument; for "--name=value" only the name, keeping the value.
    std::string take() {
        std::string arg = args[next++];
        pending.reset();
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                pending = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        return arg;
    }

    std::string value(const std::string& option) {
        if (pending) {
            std::string v = *pending;
            pending.reset();
            return v;
        }
        if (done()) throw usage("option " + option + " needs a value");
        return args[next++];
    }

    void noValue(const std::string& option) const {
        if (pending) throw usage("option " + option + " takes no value");
    }

private:
    const std::vector<std::string>& args;
    std::size_t next;
    std::optional<std::string> pending;
};

double number(const std::string& text, const std::string& option) {
    double v = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(v))
        throw usage("option " + option + " needs a finite number, not '" + text + "'");
    return v;
}

std::int64_t integer(const std::string& text, const std::string& option) {
    std::int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw usage("option " + option + " needs a whole number, not '" + text + "'");
    return v;
}

TimeSignature timeSignature(const std::string& text) {
    const std::size_t slash = text.find('/');
    auto fail = [&] { return usage("option --time-sig needs a signature such as 4/4 or 6/8, not '" + text + "'"); };
    if (slash == std::string::npos) throw fail();
    std::int64_t n = 0;
    std::int64_t d = 0;
    try {
        n = integer(text.substr(0, slash), "--time-sig");
        d = integer(text.substr(slash + 1), "--time-sig");
    } catch (const Failure&) {
        throw fail();
    }
    const bool powerOfTwo = d > 0 && (d & (d - 1)) == 0;
    if (n < 1 || n > 64 || !powerOfTwo || d > 64) throw fail();
    return {static_cast<std::int32_t>(n), static_cast<std::int32_t>(d)};
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

// Options every rendering command takes; false when `option` is not one.
bool renderOption(Arguments& a, const std::string& option, RenderSettingsOptions& r) {
    if (option == "--plugin") {
        r.plugin = a.value(option);
    } else if (option == "--set" || option == "--set-normalized") {
        r.settings.push_back(setting(a.value(option), option, option == "--set-normalized"));
    } else if (option == "--block") {
        const std::int64_t block = integer(a.value(option), option);
        if (block < 1 || block > kLargestBlock)
            throw usage("option --block needs a size from 1 to " + std::to_string(kLargestBlock) + ", not " +
                        std::to_string(block));
        r.blockSize = static_cast<std::int32_t>(block);
    } else if (option == "--overwrite") {
        a.noValue(option);
        r.overwrite = true;
    } else if (option == "--quiet" || option == "-q") {
        a.noValue(option);
        r.quiet = true;
    } else if (option == "--spectrogram") {
        r.spectrogram = a.value(option);
    } else if (option == "--spectrogram-size") {
        r.spectrogramSize = parsePictureSize(a.value(option));
    } else {
        return false;
    }
    return true;
}

bool isOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

RenderCommand parseRender(Arguments& a) {
    RenderCommand c;
    std::vector<std::string> files;
    bool optionsEnded = false;
    while (!a.done()) {
        const std::string arg = a.take();
        if (optionsEnded || !isOption(arg)) {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (renderOption(a, arg, c.render)) {
        } else if (arg == "--bpm") {
            const std::string text = a.value(arg);
            c.bpm = number(text, arg);
            if (c.bpm <= 0.0) throw usage("option --bpm needs a positive tempo, not '" + text + "'");
        } else if (arg == "--start-beat") {
            c.startBeat = number(a.value(arg), arg);
        } else if (arg == "--time-sig") {
            c.timeSignature = timeSignature(a.value(arg));
        } else if (arg == "--automate") {
            c.automation.push_back(parseAutomate(a.value(arg)));
        } else if (arg == "--automation") {
            c.automationFiles.push_back(a.value(arg));
        } else if (arg == "--tempo-map") {
            if (!c.tempoChanges.empty()) throw usage("option --tempo-map is given twice; give all changes in one");
            c.tempoChanges = parseTempoMap(a.value(arg));
        } else if (arg == "--tail") {
            const std::string text = a.value(arg);
            c.tailSeconds = number(text, arg);
            if (c.tailSeconds < 0.0 || c.tailSeconds > 3600.0)
                throw usage("option --tail needs seconds from 0 to 3600, not '" + text + "'");
        } else {
            throw usage("unknown option '" + arg + "' for render");
        }
    }
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
    std::vector<std::string> files;
    while (!a.done()) {
        const std::string arg = a.take();
        if (!isOption(arg)) {
            files.push_back(arg);
        } else if (renderOption(a, arg, c.render)) {
        } else if (arg == "--bars") {
            const std::int64_t bars = integer(a.value(arg), arg);
            if (bars < 1 || bars > 10000) throw usage("option --bars needs a count from 1 to 10000");
            c.bars = static_cast<std::int32_t>(bars);
        } else if (arg == "--dry") {
            a.noValue(arg);
            c.dry = true;
        } else {
            throw usage("unknown option '" + arg + "' for demo");
        }
    }
    if (files.size() > 1) throw usage("demo takes at most one output file");
    if (!files.empty()) c.render.output = files[0];
    return c;
}

InfoCommand parseInfo(Arguments& a) {
    InfoCommand c;
    while (!a.done()) {
        const std::string arg = a.take();
        if (arg == "--plugin") {
            c.plugin = a.value(arg);
        } else if (arg == "--set" || arg == "--set-normalized") {
            c.settings.push_back(setting(a.value(arg), arg, arg == "--set-normalized"));
        } else if (arg == "--json") {
            a.noValue(arg);
            c.json = true;
        } else if (!isOption(arg) && !c.plugin) {
            c.plugin = arg;
        } else {
            throw usage("unknown argument '" + arg + "' for info");
        }
    }
    return c;
}

bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") return true;
    return false;
}

}  // namespace

Command parseCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) throw usage("no command given; see dravelkint --help");
    const std::string& command = args[0];
    if (command == "help" || asksForHelp(args)) return HelpCommand{};
    Arguments a(args, 1);
    if (command == "render") return parseRender(a);
    if (command == "demo") return parseDemo(a);
    if (command == "info") return parseInfo(a);
    throw usage("unknown command '" + command + "'; the commands are render, demo, info and help");
}

}  // namespace vsthost
