#include "plugin_output.h"

#include "host/text/counted.h"

namespace vsthost::validate {

namespace {

constexpr std::size_t kMaxPending = 4096;

// Without terminal escapes (ESC [ ... final byte, and ESC followed by one
// character) and control characters; tabs become spaces.
std::string readable(const std::string& raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (c == 0x1B) {
            if (i + 1 < raw.size() && raw[i + 1] == '[') {
                i += 2;
                while (i < raw.size() && !(raw[i] >= 0x40 && raw[i] <= 0x7E)) ++i;
            } else {
                ++i;
            }
            continue;
        }
        if (c == '\t') {
            text += ' ';
        } else if (c >= 0x20 && c != 0x7F) {
            text += static_cast<char>(c);
        }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

void PluginOutput::add(std::string_view bytes) {
    total += static_cast<std::int64_t>(bytes.size());
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            if (!pending.empty()) line(std::move(pending));
            pending.clear();
        } else if (pending.size() < kMaxPending) {
            pending += c;
        }
    }
}

void PluginOutput::finish() {
    if (!pending.empty()) line(std::move(pending));
    pending.clear();
}

void PluginOutput::line(std::string raw) {
    std::string text = readable(raw);
    if (text.empty()) return;
    if (text.size() > kMaxLineLength) text = text.substr(0, kMaxLineLength) + "...";
    last = text;
    ++count;
    if (const auto found = index.find(text); found != index.end()) {
        ++kept[found->second].times;
        return;
    }
    if (kept.size() >= kMaxLines) {
        ++leftOut;
        return;
    }
    index.emplace(text, kept.size());
    kept.push_back({std::move(text), 1});
}

std::string shownLine(const PrintedLine& line) {
    if (line.times == 1) return line.text;
    return line.text + " (" + counted(line.times, "time") + ")";
}

}  // namespace vsthost::validate
