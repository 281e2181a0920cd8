#include "cli/progress_bar.h"

#include <algorithm>

namespace {

constexpr int kBarWidth = 30;  // characters between the brackets

}  // namespace

std::string ProgressBar::line(const std::string& phase, int done, int total) {
    if (total <= 0) return phase;
    done = std::max(0, std::min(done, total));
    const int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / total);
    const int percent = static_cast<int>(static_cast<long long>(done) * 100 / total);
    char counts[64];
    std::snprintf(counts, sizeof counts, "] %3d%% (%d/%d)", percent, done, total);
    return phase + " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + counts;
}

void ProgressBar::show(const std::string& phase, int done, int total) {
    if (!enabled_) return;
    const std::string text = line(phase, done, total);
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
