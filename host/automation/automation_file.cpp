#include "automation_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "host/text/decimal_number.h"
#include "host/text/excerpt.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"

namespace vsthost {

namespace {

// Walks a JSON text that is known to parse and finds a key given twice in
// one object, which parsing keeps silent about: one of its values would be
// lost. Apart from the parse, as the parser's own callback costs time
// quadratic in the length of an array of objects.
class DuplicateKeyFinder : public nlohmann::json::json_sax_t {
public:
    std::string duplicate;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override {
        keys_.emplace_back();
        return true;
    }
    bool key(string_t& key) override {
        if (!keys_.back().insert(key).second) duplicate = key;
        return duplicate.empty();
    }
    bool end_object() override {
        keys_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override { return false; }

private:
    // Each open object's keys so far, innermost last.
    std::vector<std::set<std::string>> keys_;
};

}  // namespace

std::vector<LaneText> parseAutomationJson(std::string_view json, const std::string& origin) {
    auto refuse = [&](const std::string& why) { return Failure(FailureKind::input, origin + ": " + why); };
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(json.begin(), json.end());
    } catch (const nlohmann::json::exception& e) {
        // Syntax and numbers past the range of a double alike. The library's
        // text begins with its own error code in brackets.
        std::string what = e.what();
        if (const auto close = what.find("] "); what.front() == '[' && close != std::string::npos)
            what.erase(0, close + 2);
        throw refuse("not readable as JSON: " + excerpt(what, 200));
    }
    DuplicateKeyFinder finder;
    nlohmann::json::sax_parse(json.begin(), json.end(), &finder);
    const std::string& duplicate = finder.duplicate;
    if (!duplicate.empty())
        throw refuse("the key \"" + excerpt(duplicate) + "\" is given twice in one object; give it once");
    if (!document.is_object())
        throw refuse("expected an object of parameter names, each with an array of {\"beat\": B, \"value\": V}");
    if (document.empty())
        throw refuse(
            "holds no parameters; give an object of parameter names, each with an array of "
            "{\"beat\": B, \"value\": V}");
    std::vector<LaneText> lanes;
    for (const auto& [name, keyframes] : document.items()) {
        const std::string where = "parameter '" + excerpt(name) + "'";
        if (!keyframes.is_array() || keyframes.empty())
            throw refuse(where + ": expected a non-empty array of {\"beat\": B, \"value\": V}");
        LaneText lane{name, {}};
        for (const auto& keyframe : keyframes) {
            if (!keyframe.is_object() || !keyframe.contains("beat") || !keyframe.contains("value") ||
                keyframe.size() != 2)
                throw refuse(where + ": keyframe " + excerpt(keyframe.dump()) + " is not {\"beat\": B, \"value\": V}");
            const auto& beat = keyframe["beat"];
            const auto& value = keyframe["value"];
            if (!beat.is_number()) throw refuse(where + ": beat " + excerpt(beat.dump()) + " is not a number");
            std::string valueText;
            if (value.is_number())
                valueText = numberText(value.get<double>());
            else if (value.is_string())
                valueText = std::string(trimmed(value.get<std::string>()));
            else
                throw refuse(where + ": value " + excerpt(value.dump()) + " is neither a number nor a text");
            if (valueText.empty()) throw refuse(where + ": empty value at beat " + beat.dump());
            lane.keyframes.push_back({beat.get<double>(), valueText});
        }
        if (const std::string problem = keyframeBeatProblem(lane.keyframes); !problem.empty())
            throw refuse(where + ": " + problem);
        lanes.push_back(std::move(lane));
    }
    return lanes;
}

std::vector<LaneText> readAutomationFile(const std::string& path) {
    const std::string name = "automation file '" + path + "'";
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw Failure(FailureKind::input, name + " is a directory; give a JSON file");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw Failure(FailureKind::input, "cannot open " + name + ": " + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    std::fclose(file);
    if (failed) throw Failure(FailureKind::input, "cannot read " + name + ": " + std::strerror(reason));
    return parseAutomationJson(text, name);
}

}  // namespace vsthost
