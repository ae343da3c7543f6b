// The progress line on a terminal: percent done, speed against real time,
// and time left, fitted to the terminal's width. Silent when disabled;
// never writes more than ten times a second; cleared when it goes away, so
// a message that follows starts on a clean line.
#pragma once

#include <chrono>
#include <cstdint>

namespace vsthost {

class ProgressMeter {
public:
    ProgressMeter(bool enabled, std::int64_t totalFrames, double sampleRate);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;
    void update(std::int64_t framesDone);
    void finish();  // clears the line
    double elapsedSeconds() const;

private:
    using Clock = std::chrono::steady_clock;
    bool enabled;
    std::int64_t total;
    double sampleRate;
    Clock::time_point start;
    Clock::time_point lastDraw;
    bool drawn = false;
};

}  // namespace vsthost
