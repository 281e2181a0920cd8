#include "tools/campaign/scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace campaign {

using sim::dot;
using sim::Random;
using sim::unit;

namespace {

constexpr double kNoHit = std::numeric_limits<double>::infinity();

// Ray and sphere: the nearer crossing ahead of the origin, or kNoHit.
double raySphere(V3 o, V3 d, V3 c, double r) {
    const V3 oc = o - c;
    const double b = dot(oc, d);
    const double disc = b * b - (dot(oc, oc) - r * r);
    if (disc < 0) return kNoHit;
    const double t = -b - std::sqrt(disc);
    return t > 0 ? t : kNoHit;
}

// Ray and axis-aligned box (slabs): where the ray enters it, and the normal
// of the face it enters through; kNoHit when it misses or starts inside.
double rayBox(V3 o, V3 d, V3 lo, V3 hi, V3* normal) {
    const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z};
    const double los[3] = {lo.x, lo.y, lo.z}, his[3] = {hi.x, hi.y, hi.z};
    double enter = -kNoHit, leave = kNoHit;
    int axis = 2;
    double side = 1;
    for (int a = 0; a < 3; ++a) {
        if (ds[a] == 0) {
            if (os[a] < los[a] || os[a] > his[a]) return kNoHit;
            continue;
        }
        double t0 = (los[a] - os[a]) / ds[a], t1 = (his[a] - os[a]) / ds[a];
        double s = -1;  // entering through the low face: normal points down the axis
        if (t0 > t1) {
            std::swap(t0, t1);
            s = 1;
        }
        if (t0 > enter) {
            enter = t0;
            axis = a;
            side = s;
        }
        leave = std::min(leave, t1);
    }
    if (enter > leave || enter <= 0) return kNoHit;
    const double n[3] = {axis == 0 ? side : 0, axis == 1 ? side : 0, axis == 2 ? side : 0};
    *normal = V3{n[0], n[1], n[2]};
    return enter;
}

double between(Random& r, double lo, double hi) {
    return lo + (hi - lo) * r.uniform();
}

}  // namespace

bool parseSceneKind(const std::string& name, SceneKind* kind) {
    if (name == "terrain")
        *kind = SceneKind::terrain;
    else if (name == "room")
        *kind = SceneKind::room;
    else if (name == "facade")
        *kind = SceneKind::facade;
    else
        return false;
    return true;
}

const char* sceneKindName(SceneKind kind) {
    switch (kind) {
        case SceneKind::terrain:
            return "terrain";
        case SceneKind::room:
            return "room";
        case SceneKind::facade:
            return "facade";
    }
    return "?";
}

Scene::Scene(SceneKind kind, uint64_t seed, double xMin, double xMax, double halfWidth,
             double scale, double clearX, double clearY, double clearRadius)
    : kind_(kind) {
    Random r(seed ^ 0x5CE4E5EEDull);
    switch (kind) {
        case SceneKind::terrain:
            makeTerrain(r, xMin, xMax, halfWidth, scale);
            break;
        case SceneKind::room:
            makeRoom(r, xMin, xMax, halfWidth, scale);
            break;
        case SceneKind::facade:
            makeFacade(r, xMin, xMax, halfWidth, scale);
            break;
    }
    clearAround(clearX, clearY, clearRadius);
    double objectTop = 0;
    for (const Sphere& s : spheres_) objectTop = std::max(objectTop, s.centre.z + s.radius);
    for (const Box& b : boxes_) objectTop = std::max(objectTop, b.hi.z);
    top_ = std::max(heightBound_, objectTop) + 0.01 * scale;
    indexObjects(xMin, xMax, halfWidth, scale);
}

// Waves of the given wavelengths (in units of scale) and largest slopes, in
// random directions and phases.
void Scene::addWaves(Random& r, const std::vector<double>& wavelengths,
                     const std::vector<double>& slopes, double scale) {
    for (std::size_t k = 0; k < wavelengths.size(); ++k) {
        const double angle = between(r, 0, 2 * M_PI);
        const double wavenumber = 2 * M_PI / (wavelengths[k] * scale);
        waves_.push_back({wavenumber * std::cos(angle), wavenumber * std::sin(angle),
                          between(r, 0, 2 * M_PI), slopes[k] / wavenumber});
        heightBound_ += waves_.back().amplitude;
    }
}

// Rolling ground: four waves whose slopes add up to at most 0.43 (23 degrees),
// so that the scanners' raster squares stay triangles; boulders half buried.
void Scene::makeTerrain(Random& r, double xMin, double xMax, double halfWidth, double scale) {
    addWaves(r, {8.0, 3.3, 1.3, 0.45}, {0.14, 0.12, 0.1, 0.07}, scale);
    const double area = (xMax - xMin) * 2 * halfWidth;
    const int boulders = static_cast<int>(6 * area / (scale * scale));
    for (int k = 0; k < boulders; ++k) {
        const double x = between(r, xMin, xMax), y = between(r, -halfWidth, halfWidth);
        const double radius = between(r, 0.02, 0.07) * scale;
        double gx, gy;
        const double ground = height(x, y, &gx, &gy);
        spheres_.push_back({V3{x, y, ground + radius * between(r, -0.5, 0.3)}, radius});
    }
}

// A floor, not quite even, with furniture (boxes of many sizes) and balls
// lying on it.
void Scene::makeRoom(Random& r, double xMin, double xMax, double halfWidth, double scale) {
    addWaves(r, {8.0, 3.0}, {0.01, 0.008}, scale);
    const double area = (xMax - xMin) * 2 * halfWidth;
    const int pieces = static_cast<int>(5 * area / (scale * scale));
    for (int k = 0; k < pieces; ++k) {
        const double x = between(r, xMin, xMax), y = between(r, -halfWidth, halfWidth);
        const double w = between(r, 0.05, 0.25) * scale, d = between(r, 0.05, 0.25) * scale;
        boxes_.push_back({V3{x, y, -heightBound_},
                          V3{x + w, y + d, heightBound_ + between(r, 0.02, 0.2) * scale}});
    }
    const int balls = static_cast<int>(3 * area / (scale * scale));
    for (int k = 0; k < balls; ++k) {
        const double radius = between(r, 0.02, 0.06) * scale;
        spheres_.push_back(
            {V3{between(r, xMin, xMax), between(r, -halfWidth, halfWidth), heightBound_ + radius},
             radius});
    }
}

// A wall (z = 0 of the scene frame, give or take its render's unevenness;
// y up the wall) with rows of windows whose glass returns nothing, a sill
// under each, pilasters between them, a cornice along the top, and
// drainpipes here and there.
void Scene::makeFacade(Random& r, double xMin, double xMax, double halfWidth, double scale) {
    addWaves(r, {8.0, 3.0}, {0.01, 0.008}, scale);
    const double bayX = 0.3 * scale, storeyY = 0.45 * scale;
    const double shiftX = between(r, 0, bayX), shiftY = between(r, 0, storeyY);
    for (double x = xMin - bayX + shiftX; x < xMax + bayX; x += bayX) {
        boxes_.push_back({V3{x - 0.02 * scale, -halfWidth - scale, -heightBound_},
                          V3{x + 0.02 * scale, halfWidth + scale, heightBound_ + 0.02 * scale}});
        for (double y = -halfWidth - storeyY + shiftY; y < halfWidth + storeyY; y += storeyY) {
            const double x0 = x + 0.07 * scale, x1 = x + 0.23 * scale;
            const double y0 = y + 0.1 * scale, y1 = y + 0.36 * scale;
            glass_.push_back({x0, x1, y0, y1});
            boxes_.push_back({V3{x0 - 0.02 * scale, y0 - 0.02 * scale, -heightBound_},
                              V3{x1 + 0.02 * scale, y0, heightBound_ + 0.03 * scale}});
        }
        if (r.uniform() < 0.1) {
            const double pipe = x + between(r, 0.05, 0.25) * scale;
            boxes_.push_back(
                {V3{pipe, -halfWidth - scale, heightBound_ + 0.01 * scale},
                 V3{pipe + 0.015 * scale, halfWidth + scale, heightBound_ + 0.025 * scale}});
        }
    }
    boxes_.push_back(
        {V3{xMin - scale, 0.4 * halfWidth, -heightBound_},
         V3{xMax + scale, 0.4 * halfWidth + 0.03 * scale, heightBound_ + 0.04 * scale}});
}

void Scene::indexObjects(double xMin, double xMax, double halfWidth, double scale) {
    const double margin = scale;
    bucketX0_ = xMin - margin;
    bucketY0_ = -halfWidth - margin;
    const double spanX = xMax - xMin + 2 * margin, spanY = 2 * (halfWidth + margin);
    bucketSize_ = std::max(0.1 * scale, std::sqrt(spanX * spanY / 4e6));
    bucketsX_ = static_cast<int>(spanX / bucketSize_) + 1;
    bucketsY_ = static_cast<int>(spanY / bucketSize_) + 1;
    std::vector<Span> spans;
    for (std::size_t s = 0; s < spheres_.size(); ++s) {
        const Sphere& sp = spheres_[s];
        spans.push_back({static_cast<int32_t>(s), sp.centre.x - sp.radius, sp.centre.x + sp.radius,
                         sp.centre.y - sp.radius, sp.centre.y + sp.radius});
    }
    for (std::size_t b = 0; b < boxes_.size(); ++b)
        spans.push_back({~static_cast<int32_t>(b), boxes_[b].lo.x, boxes_[b].hi.x, boxes_[b].lo.y,
                         boxes_[b].hi.y});
    objects_ = bucket(spans);
    spans.clear();
    for (std::size_t g = 0; g < glass_.size(); ++g)
        spans.push_back(
            {static_cast<int32_t>(g), glass_[g].x0, glass_[g].x1, glass_[g].y0, glass_[g].y1});
    glass_in_ = bucket(spans);
}

void Scene::clearAround(double x, double y, double radius) {
    // Whether a rectangle of the x-y plane comes within the radius.
    auto near = [&](double x0, double x1, double y0, double y1) {
        const double dx = std::max({x0 - x, 0.0, x - x1}), dy = std::max({y0 - y, 0.0, y - y1});
        return dx * dx + dy * dy < radius * radius;
    };
    spheres_.erase(std::remove_if(spheres_.begin(), spheres_.end(),
                                  [&](const Sphere& s) {
                                      return near(s.centre.x - s.radius, s.centre.x + s.radius,
                                                  s.centre.y - s.radius, s.centre.y + s.radius);
                                  }),
                   spheres_.end());
    boxes_.erase(std::remove_if(boxes_.begin(), boxes_.end(),
                                [&](const Box& b) { return near(b.lo.x, b.hi.x, b.lo.y, b.hi.y); }),
                 boxes_.end());
    glass_.erase(std::remove_if(glass_.begin(), glass_.end(),
                                [&](const Rect& g) { return near(g.x0, g.x1, g.y0, g.y1); }),
                 glass_.end());
}

int Scene::bucketX(double x) const {
    return std::clamp(static_cast<int>(std::floor((x - bucketX0_) / bucketSize_)), 0,
                      bucketsX_ - 1);
}
int Scene::bucketY(double y) const {
    return std::clamp(static_cast<int>(std::floor((y - bucketY0_) / bucketSize_)), 0,
                      bucketsY_ - 1);
}

Scene::Buckets Scene::bucket(const std::vector<Span>& spans) const {
    const std::size_t buckets = static_cast<std::size_t>(bucketsX_) * bucketsY_;
    Buckets out;
    out.start.assign(buckets + 1, 0);
    auto each = [&](const Span& s, auto&& f) {
        for (int i = bucketX(s.x0); i <= bucketX(s.x1); ++i)
            for (int j = bucketY(s.y0); j <= bucketY(s.y1); ++j)
                f(static_cast<std::size_t>(i) * bucketsY_ + j);
    };
    for (const Span& s : spans) each(s, [&](std::size_t k) { ++out.start[k + 1]; });
    for (std::size_t k = 0; k < buckets; ++k) out.start[k + 1] += out.start[k];
    out.items.resize(out.start[buckets]);
    std::vector<uint32_t> next(out.start.begin(), out.start.end() - 1);
    for (const Span& s : spans) each(s, [&](std::size_t k) { out.items[next[k]++] = s.item; });
    return out;
}

double Scene::height(double x, double y, double* gx, double* gy) const {
    double h = 0;
    *gx = 0;
    *gy = 0;
    for (const Wave& w : waves_) {
        const double a = w.kx * x + w.ky * y + w.phase;
        h += w.amplitude * std::sin(a);
        const double c = w.amplitude * std::cos(a);
        *gx += c * w.kx;
        *gy += c * w.ky;
    }
    return h;
}

bool Scene::inGlass(double x, double y) const {
    if (glass_.empty()) return false;
    const std::size_t k = static_cast<std::size_t>(bucketX(x)) * bucketsY_ + bucketY(y);
    for (uint32_t e = glass_in_.start[k]; e < glass_in_.start[k + 1]; ++e) {
        const Rect& g = glass_[static_cast<std::size_t>(glass_in_.items[e])];
        if (x >= g.x0 && x <= g.x1 && y >= g.y0 && y <= g.y1) return true;
    }
    return false;
}

// The height field along a ray that points down is a decreasing function of
// t (slopes stay far below the ray's steepness), so its root is bracketed
// between the heights' bounds and found by Newton steps kept inside the
// bracket, from the previous ray's root when there is one.
Hit Scene::castBase(V3 o, V3 d, double tGuess) const {
    Hit hit;
    double gx = 0, gy = 0;
    if (waves_.empty()) {
        hit.t = o.z / -d.z;
    } else {
        double lo = (o.z - heightBound_) / -d.z, hi = (o.z + heightBound_) / -d.z;
        double t = tGuess > lo && tGuess < hi ? tGuess : lo;
        for (int step = 0; step < 100; ++step) {
            const double f = o.z + t * d.z - height(o.x + t * d.x, o.y + t * d.y, &gx, &gy);
            // A tenth of a nanometre: far below what a float coordinate holds.
            if (std::fabs(f) < 1e-10) break;
            (f > 0 ? lo : hi) = t;
            const double slope = d.z - (gx * d.x + gy * d.y);
            double next = t - f / slope;
            if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
            t = next;
        }
        hit.t = t;
    }
    const V3 p = o + hit.t * d;
    hit.surface = inGlass(p.x, p.y) ? Surface::none : Surface::base;
    hit.normal = unit(V3{-gx, -gy, 1});
    return hit;
}

Hit Scene::cast(V3 o, V3 d, double tGuess) const {
    Hit best = castBase(o, d, tGuess);
    double limit = best.surface == Surface::base ? best.t : (o.z + heightBound_) / -d.z;
    // The buckets the ray crosses between the top of the scene and its hit.
    const double tTop = std::max(0.0, (o.z - top_) / -d.z);
    const V3 a = o + tTop * d, b = o + limit * d;
    const int i0 = bucketX(std::min(a.x, b.x)), i1 = bucketX(std::max(a.x, b.x));
    const int j0 = bucketY(std::min(a.y, b.y)), j1 = bucketY(std::max(a.y, b.y));
    for (int i = i0; i <= i1; ++i) {
        for (int j = j0; j <= j1; ++j) {
            const std::size_t k = static_cast<std::size_t>(i) * bucketsY_ + j;
            for (uint32_t e = objects_.start[k]; e < objects_.start[k + 1]; ++e) {
                const int32_t object = objects_.items[e];
                V3 normal{0, 0, 1};
                double t;
                if (object >= 0) {
                    const Sphere& s = spheres_[static_cast<std::size_t>(object)];
                    t = raySphere(o, d, s.centre, s.radius);
                    if (t < limit) normal = unit(o + t * d - s.centre);
                } else {
                    const Box& bx = boxes_[static_cast<std::size_t>(~object)];
                    t = rayBox(o, d, bx.lo, bx.hi, &normal);
                }
                if (t < limit) {
                    limit = t;
                    best.surface = Surface::object;
                    best.t = t;
                    best.normal = normal;
                }
            }
        }
    }
    return best;
}

V3 Scene::toCommon(V3 p) const {
    // The facade stands up: the scene's y goes up (common z), its z towards
    // the street (common -y).
    if (kind_ == SceneKind::facade) return V3{p.x, -p.z, p.y};
    return p;
}

sim::Pose Scene::frame() const {
    sim::Pose f;
    f.axisX = toCommon(V3{1, 0, 0});
    f.axisY = toCommon(V3{0, 1, 0});
    f.axisZ = toCommon(V3{0, 0, 1});
    f.origin = V3{0, 0, 0};
    return f;
}

}  // namespace campaign
