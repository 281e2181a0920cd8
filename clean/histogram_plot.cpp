#include "clean/histogram_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "picture/font.h"

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGrid{225, 225, 225};
constexpr Rgb kThreshold{180, 0, 0};

constexpr Rgb kSeries[10] = {{31, 119, 180},  {255, 127, 14}, {44, 160, 44},   {214, 39, 40},
                             {148, 103, 189}, {140, 86, 75},  {227, 119, 194}, {127, 127, 127},
                             {188, 189, 34},  {23, 190, 207}};

// The plot area in pixels: x grows to the right, y downwards.
struct Area {
    int left, top, right, bottom;
};

// Maps distances and counts to pixels.
struct Axes {
    Area area;
    double maxDistance;  // right end of the distance axis
    double maxCount;     // top of the count axis (a power of ten when logarithmic)
    bool log;

    int x(double distance) const {
        const double f = maxDistance > 0.0 ? distance / maxDistance : 0.0;
        return area.left + static_cast<int>(std::lround(f * (area.right - area.left)));
    }
    int y(double count) const {
        double f = 0.0;
        if (log)
            f = count >= 1.0 ? std::log10(count) / std::log10(maxCount) : 0.0;
        else
            f = count / maxCount;
        return area.bottom - static_cast<int>(std::lround(f * (area.bottom - area.top)));
    }
};

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string countLabel(double v) {
    char text[64];
    if (v >= 1e7)
        std::snprintf(text, sizeof text, "1e%d", static_cast<int>(std::lround(std::log10(v))));
    else
        std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

void drawDistanceAxis(RgbImage& img, const Axes& a, const Font& font) {
    int m = 1, e = 0;
    roundStep(a.maxDistance / 6.0, &m, &e);
    for (long long k = 0;; ++k) {
        const double d = decimalMultiple(k, m, e);
        if (d > a.maxDistance * (1.0 + 1e-9)) break;
        const int x = a.x(d);
        if (k > 0) img.verticalLine(x, a.area.top, a.area.bottom - 1, kGrid);
        img.verticalLine(x, a.area.bottom, a.area.bottom + 5, kBlack);
        const std::string label = fixed(d, decimalsForStep(e));
        font.draw(img, x - font.width(label) / 2, a.area.bottom + 8 + font.capHeight(), label,
                  kBlack);
    }
}

void drawCountAxis(RgbImage& img, const Axes& a, const Font& font) {
    std::vector<double> ticks;
    if (a.log) {
        for (double v = 1.0; v <= a.maxCount * (1.0 + 1e-9); v *= 10.0) ticks.push_back(v);
    } else {
        int m = 1, e = 0;
        roundStep(a.maxCount / 5.0, &m, &e);
        for (long long k = 0; decimalMultiple(k, m, e) <= a.maxCount * (1.0 + 1e-9); ++k)
            ticks.push_back(decimalMultiple(k, m, e));
    }
    for (double v : ticks) {
        const int y = a.y(v);
        if (y < a.area.bottom) img.horizontalLine(a.area.left + 1, a.area.right, y, kGrid);
        img.horizontalLine(a.area.left - 5, a.area.left, y, kBlack);
        const std::string label = countLabel(v);
        font.draw(img, a.area.left - 9 - font.width(label), y + font.capHeight() / 2, label,
                  kBlack);
    }
}

// One scan's counts as a step line: a level per bin, joined at the bounds.
void drawSeries(RgbImage& img, const Axes& a, const HistogramBins& bins,
                const std::vector<uint64_t>& counts, Rgb colour) {
    int lastY = a.y(0.0);
    for (std::size_t k = 0; k < bins.count(); ++k) {
        const int x0 = a.x(bins.bounds[k]);
        const int x1 = a.x(bins.bounds[k + 1]);
        const int y = a.y(static_cast<double>(counts[k]));
        img.verticalLine(x0, lastY, y, colour, 2);
        img.horizontalLine(x0, x1, y, colour, 2);
        lastY = y;
    }
    if (bins.count() > 0) img.verticalLine(a.x(bins.bounds.back()), lastY, a.y(0.0), colour, 2);
}

void drawLegend(RgbImage& img, const ScanHistogram& h, const Area& area, const Font& font) {
    const int left = area.right + 24;
    const int lineHeight = font.pixelSize() + 8;
    const int fit = std::max(1, (area.bottom - area.top) / lineHeight);
    const std::size_t n = h.names.size();
    const std::size_t shown =
        n <= static_cast<std::size_t>(fit) ? n : static_cast<std::size_t>(fit - 1);
    int y = area.top + font.capHeight();
    for (std::size_t i = 0; i < shown; ++i, y += lineHeight) {
        img.horizontalLine(left, left + 24, y - font.capHeight() / 2, seriesColour(i), 3);
        font.draw(img, left + 32, y, baseName(h.names[i]), kBlack);
    }
    if (shown < n)
        font.draw(img, left, y, "... and " + std::to_string(n - shown) + " more", kBlack);
}

}  // namespace

Rgb seriesColour(std::size_t i) {
    return kSeries[i % 10];
}

bool drawHistogramPlot(const ScanHistogram& h, const PlotOptions& o, RgbImage* picture,
                       std::string* error) {
    const Font font(14);
    const Font titleFont(18);
    if (!font.ok() || !titleFont.ok()) {
        *error = font.ok() ? titleFont.error() : font.error();
        return false;
    }
    RgbImage img(o.width, o.height, kWhite);
    const Area area{100, 56, o.width - 230, o.height - 80};
    titleFont.draw(img, area.left, 34, o.title, kBlack);

    const HistogramBins& bins = h.histogram.bins;
    uint64_t most = 0;
    for (const std::vector<uint64_t>& row : h.histogram.counts)
        for (std::size_t k = 0; k < bins.count(); ++k) most = std::max(most, row[k]);
    Axes axes{area, bins.count() > 0 ? bins.bounds.back() : 0.0, 1.0, o.logCounts};
    if (axes.maxDistance <= 0.0) axes.maxDistance = o.threshold > 0.0f ? 2.0 * o.threshold : 1.0;
    if (o.logCounts) {
        axes.maxCount =
            std::pow(10.0, std::max(1.0, std::ceil(std::log10(std::max<double>(most, 1)))));
    } else {
        int m = 1, e = 0;
        roundStep(std::max<double>(most, 1) / 5.0, &m, &e);
        long long k = 1;
        while (decimalMultiple(k, m, e) < static_cast<double>(most)) ++k;
        axes.maxCount = decimalMultiple(k, m, e);
    }

    drawDistanceAxis(img, axes, font);
    drawCountAxis(img, axes, font);
    for (std::size_t i = 0; i < h.histogram.counts.size(); ++i)
        drawSeries(img, axes, bins, h.histogram.counts[i], seriesColour(i));
    if (o.threshold >= 0.0f && o.threshold <= axes.maxDistance) {
        const int x = axes.x(o.threshold);
        img.verticalLine(x, area.top, area.bottom, kThreshold, 2, 8);
        char label[64];
        std::snprintf(label, sizeof label, "threshold %g", double(o.threshold));
        const int labelWidth = font.width(label);
        const int labelX = x + 6 + labelWidth < area.right ? x + 6 : x - 6 - labelWidth;
        font.draw(img, labelX, area.top + font.capHeight() + 4, label, kThreshold);
    }
    if (bins.count() == 0) {
        const std::string none = "no point was measured against another scan";
        font.draw(img, (area.left + area.right - font.width(none)) / 2,
                  (area.top + area.bottom) / 2, none, kBlack);
    }
    img.horizontalLine(area.left, area.right, area.bottom, kBlack);
    img.verticalLine(area.left, area.top, area.bottom, kBlack);

    const std::string xLabel = "distance to the nearest polygon of another scan";
    font.draw(img, (area.left + area.right - font.width(xLabel)) / 2, o.height - 24, xLabel,
              kBlack);
    const std::string yLabel = o.logCounts ? "points per bin (log scale)" : "points per bin";
    font.drawUpwards(img, 30, (area.top + area.bottom + font.width(yLabel)) / 2, yLabel, kBlack);
    drawLegend(img, h, area, font);
    *picture = std::move(img);
    return true;
}
