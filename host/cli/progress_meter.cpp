#include "progress_meter.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vsthost {

namespace {

std::string minutesAndSeconds(double seconds) {
    const auto whole = static_cast<long>(std::max(seconds, 0.0) + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

ProgressMeter::ProgressMeter(bool enabled, std::int64_t totalFrames, double sampleRate)
    : enabled(enabled), total(totalFrames), sampleRate(sampleRate), start(Clock::now()), lastDraw(start) {}

double ProgressMeter::elapsedSeconds() const { return std::chrono::duration<double>(Clock::now() - start).count(); }

void ProgressMeter::update(std::int64_t framesDone) {
    if (!enabled || total <= 0) return;
    const Clock::time_point now = Clock::now();
    if (now - lastDraw < std::chrono::milliseconds(100)) return;
    lastDraw = now;
    const double elapsed = std::chrono::duration<double>(now - start).count();
    const double fraction = std::min(1.0, static_cast<double>(framesDone) / static_cast<double>(total));
    const double speed = elapsed > 0.0 ? static_cast<double>(framesDone) / sampleRate / elapsed : 0.0;
    const double left = fraction > 0.0 ? elapsed * (1.0 - fraction) / fraction : 0.0;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(filled, '#');
    bar.append(kWidth - filled, '-');
    std::fprintf(stderr, "\r[%s] %3d%%  %.0fx real time  %s left ", bar.c_str(), static_cast<int>(fraction * 100.0),
                 speed, minutesAndSeconds(left).c_str());
    std::fflush(stderr);
    drawn = true;
}

void ProgressMeter::finish() {
    if (!drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn = false;
}

}  // namespace vsthost
