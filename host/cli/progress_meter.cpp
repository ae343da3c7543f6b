#include "progress_meter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/text/clock_time.h"

namespace vsthost {

namespace {

// The terminal's columns, asked anew for every line, since a pane can be
// resized while a render runs.
int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

ProgressMeter::~ProgressMeter() { finish(); }

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
    char figures[96];
    std::snprintf(figures, sizeof figures, " %3d%%  %.0fx real time  %s left", static_cast<int>(fraction * 100.0),
                  speed, clockTime(left, 0).c_str());
    // One column stays free: writing the last one makes some terminals wrap.
    const int room = terminalWidth() - 1;
    std::string line;
    const int barWidth = std::min(30, room - static_cast<int>(std::strlen(figures)) - 2);
    if (barWidth >= 5) {
        const int filled = static_cast<int>(fraction * barWidth);
        line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";
    }
    line += figures;
    if (static_cast<int>(line.size()) > room) line.resize(std::max(room, 0));
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
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
