// A one-line progress bar for people watching a terminal, redrawn in place
// with a carriage return. A disabled bar prints nothing at all.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressBar {
public:
    // Draws on stream (not owned) when enabled.
    ProgressBar(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}

    // Shows the phase with done of total steps; total <= 0 shows the phase
    // alone. Once a phase has run for a second, the time it has left is
    // estimated from its pace so far. Redraws only when the line changes.
    void show(const std::string& phase, std::int64_t done, std::int64_t total);
    // Erases the line, so that other output starts on a clean line.
    void clear();

    // The line show() draws, without the carriage return: the phase, then
    // "[####......]  40% (4/10)" when total > 0.
    static std::string line(const std::string& phase, std::int64_t done, std::int64_t total);
    // The same line followed by "  about N s left" (N min from 100 s on)
    // when secondsLeft is not negative.
    static std::string line(const std::string& phase, std::int64_t done, std::int64_t total,
                            double secondsLeft);

private:
    std::FILE* stream_;
    bool enabled_;
    std::string shown_;  // the line on the terminal now, "" when none
    std::string phase_;  // the phase shown, and since when
    std::chrono::steady_clock::time_point phaseStart_;
};
