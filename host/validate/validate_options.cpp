#include "validate_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "catalogue.h"
#include "failure.h"

namespace vsthost::validate {

namespace {

Failure usage(const std::string& message) { return Failure(FailureKind::usage, message); }

template <typename Number>
Number wholeNumber(const std::string& option, const std::string& text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        throw usage(option + " needs a whole number, not '" + text + "'");
    return value;
}

double seconds(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !std::isfinite(value) || value <= 0.0)
        throw usage(option + " needs a number of seconds above 0, not '" + text + "'");
    return value;
}

std::vector<std::string> groupNames(const std::string& option, const std::string& text) {
    std::vector<std::string> names;
    std::string known;
    for (const CheckGroup& group : catalogue()) known += (known.empty() ? "" : ", ") + group.name;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        const bool exists = name == "load" || std::any_of(catalogue().begin(), catalogue().end(),
                                                          [&](const CheckGroup& g) { return g.name == name; });
        if (!exists) throw usage(option + ": no check group '" + name + "'; the groups are " + known);
        names.push_back(name);
        start = comma + 1;
    }
    return names;
}

}  // namespace

ValidateOptions parseValidateOptions(const std::vector<std::string>& args) {
    ValidateOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.erase(eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw usage(option + " needs a value");
            return args[++i];
        };
        auto noValue = [&] {
            if (inlineValue) throw usage(option + " takes no value");
        };
        if (option == "--plugin") {
            options.plugin = value();
        } else if (option == "--strictness") {
            const std::string text = value();
            options.strictness = wholeNumber<int>(option, text);
            if (options.strictness < kMinStrictness || options.strictness > kMaxStrictness)
                throw usage("--strictness goes from 1 to 10, not " + text);
        } else if (option == "--seed") {
            options.seed = wholeNumber<std::uint64_t>(option, value());
        } else if (option == "--only") {
            for (std::string& name : groupNames(option, value())) options.only.push_back(std::move(name));
        } else if (option == "--timeout") {
            options.timeoutSeconds = seconds(option, value());
        } else if (option == "--json") {
            noValue();
            options.json = true;
        } else if (option == "--help" || option == "-h") {
            options.help = true;
        } else {
            throw usage("unknown option '" + args[i] + "' for validate");
        }
    }
    return options;
}

}  // namespace vsthost::validate
