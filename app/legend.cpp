#include "app/legend.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scan/distance_stats.h"

namespace {

constexpr int kBarWidth = 18;
constexpr int kRightMargin = 90;  // room for the tick labels
constexpr int kSwatch = 10;
constexpr int kLine = 16;  // text line height of the 12-pixel font

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

void text(float x, float y, const std::string& s) {
    glRasterPos2f(x, y);
    for (char c : s) glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, c);
}

int textWidth(const std::string& s) {
    return glutBitmapLength(GLUT_BITMAP_HELVETICA_12,
                            reinterpret_cast<const unsigned char*>(s.c_str()));
}

void quad(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

void swatch(int x, int y, const ColourRGBA& c, const std::string& label) {
    glColor4ubv(&c.r);
    glBegin(GL_QUADS);
    quad(x, y - kSwatch, x + kSwatch, y);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    text(x + kSwatch + 6, y - kSwatch + 1, label);
}

}  // namespace

std::vector<LegendTick> legendTicks(float maximum) {
    std::vector<LegendTick> ticks;
    if (!(maximum > 0.0f) || !std::isfinite(maximum)) return ticks;
    const double top = maximum;
    // Steps as mantissa x 10^exponent: 1, 2, 2.5 (25 x 10^(e-1)), 5.
    const int start = static_cast<int>(std::floor(std::log10(top))) - 2;
    for (int e = start; e <= start + 4; ++e) {
        for (const auto& [mantissa, shift] : {std::pair{1, 0}, {2, 0}, {25, -1}, {5, 0}}) {
            const double step = decimalMultiple(1, mantissa, e + shift);
            const long long count =
                static_cast<long long>(std::floor(top / step * (1.0 + 1e-9))) + 1;
            if (count > 6) continue;
            for (long long k = 0; k < count; ++k) {
                const double v = decimalMultiple(k, mantissa, e + shift);
                ticks.push_back({v, fixed(v, decimalsForStep(e + shift))});
            }
            return ticks;
        }
    }
    return ticks;
}

LegendLayout legendLayout(int width, int height) {
    LegendLayout l;
    l.barRight = width - kRightMargin;
    l.barLeft = l.barRight - kBarWidth;
    l.labelLeft = l.barRight + 8;
    const int barHeight = std::max(40, std::min(300, height - 120));
    l.barTop = height - 40;
    l.barBottom = l.barTop - barHeight;
    l.swatchTop = l.barBottom - 16;
    return l;
}

int legendRow(const LegendLayout& l, double value, double maximum) {
    const double f = maximum > 0.0 ? std::min(1.0, std::max(0.0, value / maximum)) : 0.0;
    return l.barBottom + static_cast<int>(std::lround(f * (l.barTop - l.barBottom)));
}

void drawLegend(const DistanceScale& scale, int width, int height) {
    const LegendLayout l = legendLayout(width, height);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glLineWidth(1.0f);

    // The bar: one band per map entry, in that entry's colour.
    const float bandHeight = float(l.barTop - l.barBottom) / kColourMapSize;
    glBegin(GL_QUADS);
    for (int i = 0; i < kColourMapSize; ++i) {
        const ColourRGBA c = colourMapEntry(i);
        glColor4ubv(&c.r);
        quad(l.barLeft, l.barBottom + i * bandHeight, l.barRight,
             l.barBottom + (i + 1) * bandHeight);
    }
    glEnd();

    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    quad(l.barLeft - 1, l.barBottom - 1, l.barRight + 1, l.barTop + 1);
    glEnd();
    text(l.barLeft, l.barTop + 12, "distance");
    for (const LegendTick& t : legendTicks(scale.maximum)) {
        const int y = legendRow(l, t.value, scale.maximum);
        glBegin(GL_LINES);
        glVertex2f(l.barRight + 1, y);
        glVertex2f(l.barRight + 5, y);
        glEnd();
        text(l.labelLeft, y - 4, t.label);
    }

    // The threshold: a line across the bar, its value to the left.
    if (scale.threshold >= 0.0f && scale.maximum > 0.0f) {
        const int y = legendRow(l, scale.threshold, scale.maximum);
        glBegin(GL_LINES);
        glVertex2f(l.barLeft - 8, y);
        glVertex2f(l.barRight + 1, y);
        glEnd();
        char label[64];
        std::snprintf(label, sizeof label, "threshold %g", double(scale.threshold));
        text(l.barLeft - 12 - textWidth(label), y - 4, label);
    }

    int y = l.swatchTop;
    swatch(l.barLeft, y, kUnmeasuredColour, "unmeasured");
    y -= kLine;
    if (scale.markTossed) swatch(l.barLeft, y, kTossedColour, "tossed");

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
