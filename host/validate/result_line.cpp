#include "result_line.h"

#include <charconv>

namespace vsthost::validate {

namespace {

template <typename Number>
std::optional<Number> numberIn(const std::string& field) {
    Number number{};
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, number);
    if (error != std::errc() || stop != end) return std::nullopt;
    return number;
}

bool verdictNumber(const std::optional<int>& verdict) {
    return verdict && *verdict >= static_cast<int>(Verdict::pass) && *verdict <= static_cast<int>(Verdict::skip);
}

}  // namespace

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::optional<ReportedResult> resultIn(const std::vector<std::string>& fields, std::size_t runnable) {
    if (fields.size() != 5 || fields[0] != "R") return std::nullopt;
    const auto position = numberIn<std::size_t>(fields[1]);
    const auto verdict = numberIn<int>(fields[2]);
    const auto seconds = numberIn<double>(fields[3]);
    if (!position || *position >= runnable || !verdictNumber(verdict) || !seconds) return std::nullopt;
    return ReportedResult{*position, {static_cast<Verdict>(*verdict), fields[4]}, *seconds};
}

std::optional<ReportedFinding> findingIn(const std::vector<std::string>& fields, std::size_t runnable) {
    if (fields.size() != 4 || fields[0] != "S") return std::nullopt;
    const auto position = numberIn<std::size_t>(fields[1]);
    const auto verdict = numberIn<int>(fields[2]);
    if (!position || *position >= runnable || !verdictNumber(verdict)) return std::nullopt;
    return ReportedFinding{*position, {static_cast<Verdict>(*verdict), fields[3]}};
}

}  // namespace vsthost::validate
