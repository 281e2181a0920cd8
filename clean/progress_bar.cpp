#include "clean/progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBarWidth = 30;  // characters between the brackets

}  // namespace

std::string ProgressBar::line(const std::string& phase, std::int64_t done, std::int64_t total) {
    if (total <= 0) return phase;
    done = std::max<std::int64_t>(0, std::min(done, total));
    // 64 bits: a count of passes exceeds 32 bits from 46,342 scans on.
    const int filled = static_cast<int>(done * kBarWidth / total);
    const int percent = static_cast<int>(done * 100 / total);
    char counts[96];
    std::snprintf(counts, sizeof counts, "] %3d%% (%lld/%lld)", percent,
                  static_cast<long long>(done), static_cast<long long>(total));
    return phase + " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + counts;
}

std::string ProgressBar::line(const std::string& phase, std::int64_t done, std::int64_t total,
                              double secondsLeft) {
    std::string text = line(phase, done, total);
    if (total <= 0 || !(secondsLeft >= 0.0)) return text;
    char left[48];
    if (secondsLeft < 100.0)
        std::snprintf(left, sizeof left, "  about %d s left", static_cast<int>(secondsLeft + 0.5));
    else
        std::snprintf(left, sizeof left, "  about %.0f min left", secondsLeft / 60.0);
    return text + left;
}

void ProgressBar::show(const std::string& phase, std::int64_t done, std::int64_t total) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (phase != phase_) {
        phase_ = phase;
        phaseStart_ = now;
    }
    const double elapsed = std::chrono::duration<double>(now - phaseStart_).count();
    const double left = total > 0 && done > 0 && done < total && elapsed >= 1.0
                            ? elapsed * double(total - done) / double(done)
                            : -1.0;
    const std::string text = line(phase, done, total, left);
    if (text == shown_) return;
    // Blanks over whatever the longer previous line left behind.
    const std::size_t pad = shown_.size() > text.size() ? shown_.size() - text.size() : 0;
    std::fprintf(stream_, "\r%s%s", text.c_str(), std::string(pad, ' ').c_str());
    std::fflush(stream_);
    shown_ = text;
}

void ProgressBar::clear() {
    if (!enabled_ || shown_.empty()) return;
    std::fprintf(stream_, "\r%s\r", std::string(shown_.size(), ' ').c_str());
    std::fflush(stream_);
    shown_.clear();
}
