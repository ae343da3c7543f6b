#include "text_probe.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "host/text/counted.h"

namespace vsthost::validate {

namespace {

constexpr std::size_t kProbeBuffer = 1024;
constexpr char kPattern = static_cast<char>(0xA5);
constexpr std::int32_t kCommonHostBuffer = 64;

std::string quoted(const std::string& text) {
    std::string shown;
    for (const char c : text.substr(0, 80)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > 80) shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace

WrittenText probeText(const std::function<void(char*)>& write) {
    std::array<char, kProbeBuffer> buffer;
    buffer.fill(kPattern);
    write(buffer.data());

    WrittenText result;
    for (std::size_t i = kProbeBuffer; i-- > 0;) {
        if (buffer[i] != kPattern) {
            result.extent = static_cast<std::int32_t>(i + 1);
            break;
        }
    }
    result.written = result.extent > 0;
    const auto nul = std::find(buffer.begin(), buffer.begin() + result.extent, '\0');
    result.terminated = nul != buffer.begin() + result.extent;
    result.text.assign(buffer.begin(), nul);
    return result;
}

std::optional<Outcome> judgeText(const WrittenText& written, std::int32_t bound, const std::string& what,
                                 int strictness) {
    if (!written.written) return std::nullopt;
    if (!written.terminated) return failed(what + " " + quoted(written.text) + " has no terminating NUL");
    const std::int32_t limit = bound + 1;
    if (written.extent <= limit) return std::nullopt;
    const std::string finding = what + " " + quoted(written.text) + " (" + std::to_string(written.text.size()) +
                                " characters) writes " + counted(written.extent, "byte") + " where " +
                                std::to_string(limit) + " are allowed";
    if (written.extent > std::max(limit, kCommonHostBuffer)) return failed(finding);
    return Outcome{strictness >= 7 ? Verdict::fail : Verdict::warn, finding};
}

}  // namespace vsthost::validate
