#include "registration/registration.h"

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <numeric>

#include "parallel/parallel_for.h"
#include "registration/scan_surface.h"

namespace registration {

namespace {

using Vec6 = Eigen::Matrix<double, 6, 1>;
using Vec12 = Eigen::Matrix<double, 12, 1>;
using Mat6 = Eigen::Matrix<double, 6, 6>;
using Mat12 = Eigen::Matrix<double, 12, 12>;

// Source points handed to one worker at a time.
constexpr std::size_t kChunk = 512;
// A pair of scans with fewer pairs than this does not tie them together.
constexpr std::size_t kTie = 6;

// The sums of one direction of a scan pair: points of scan a paired with the
// surface of scan b. The unknowns are a's six (rotation, scaled by a's
// spread, then translation) and b's six.
struct PairSums {
    Mat12 normal = Mat12::Zero();    // sum of w J J^T (upper triangle while summing)
    Vec12 gradient = Vec12::Zero();  // sum of w J r
    std::size_t pairs = 0;
    double squares = 0;    // sum of r^2, unweighted
    double objective = 0;  // sum of w r^2

    void add(const PairSums& o) {
        normal += o.normal;
        gradient += o.gradient;
        pairs += o.pairs;
        squares += o.squares;
        objective += o.objective;
    }
};

// One scan's pose during an iteration, in the forms the inner loop uses.
struct Placed {
    Eigen::Matrix3d rotation;
    Eigen::Vector3d translation;
    Eigen::Vector3d centre;  // the surface centroid, placed
    double scale = 1;        // spread of the scan: rotation unknowns are angle times this
};

// Every kThinning-th source of the last stage is a source of the others.
constexpr std::size_t kThinning = 4;

// The source points of each scan, with what their searches found the last
// time on each neighbour (so that the next search starts there).
struct Hints {
    std::vector<uint32_t> targets;  // the neighbours, in column order
    std::vector<uint32_t> ids;      // per source, per neighbour: a point, or kNoHint
};
struct SampleSet {
    std::vector<std::vector<uint32_t>> sources;  // per scan
    std::vector<Hints> hints;                    // per scan
    // "Nothing near" hints hold for the radius they were found with, while
    // the poses have moved by less than a third of a triangle since.
    std::size_t level = 0;  // that radius
    double drift = 0;       // how far the poses moved since (at most)
};

// How scan a's points reach scan b's frame.
struct Relative {
    uint32_t target;
    Eigen::Matrix3f rotation;
    Eigen::Vector3f translation;
    Eigen::Vector3f boxMin, boxMax;  // b's box, grown by the radius
};

class Registration {
public:
    Registration(const std::vector<ScanPoints>& scans, const RegistrationOptions& options)
        : views_(scans), options_(options) {}

    RegistrationResult run();

private:
    void buildSurfaces();
    void chooseRadii();
    void place();
    void findNeighbours(double radius);
    // Pairs every source point of the chosen sample sets with its
    // neighbours within the radius; fills sums_ (per scan, per neighbour).
    // With `walk`, the searches walk from their hints (the poses have moved
    // by less than a triangle since the hints were found).
    void pairUp(SampleSet* set, std::size_t level, bool walk, bool linearise);
    // One worker's part: sources[begin, end) of scan a; hints holds those
    // sources' hints, neighbour by neighbour.
    void pairChunk(uint32_t a, const std::vector<uint32_t>& sources, std::size_t begin,
                   std::size_t end, std::size_t level, bool walk, bool linearise, uint32_t* hints,
                   std::vector<PairSums>* out) const;
    // Keeps each source's hints (the nearest point found on each neighbour
    // the last time) across iterations of one sample set.
    void alignHints(SampleSet* set, std::size_t level);
    void holdUnconstrained();
    // The Gauss-Newton step of all free poses (six numbers per free scan, in
    // scan order), or an empty step when no scan is free or the system
    // cannot be solved.
    Eigen::VectorXd solve() const;
    // Moves the free poses by factor times the step; returns the largest
    // distance any point moved.
    double move(const Eigen::VectorXd& step, double factor);
    void measure(std::vector<double>* rms, std::vector<std::size_t>* pairs) const;
    std::vector<std::size_t> pairsPerScan() const;

    const std::vector<ScanPoints>& views_;
    RegistrationOptions options_;
    std::size_t fixed_ = 0;
    std::vector<std::unique_ptr<ScanSurface>> surfaces_;
    std::vector<char> usable_;  // per scan: it has a surface and a finite pose
    std::vector<Pose> poses_;
    std::vector<Placed> placed_;
    std::vector<std::vector<Relative>> neighbours_;  // per scan
    std::vector<std::vector<PairSums>> sums_;        // per scan, per neighbour
    std::vector<ScanStatus> status_;
    SampleSet coarse_, fine_;  // every kThinning-th fine source is a coarse one
    double start_ = 0, final_ = 0, tolerance_ = 0;
    double spacing_ = 0;         // the typical triangle side
    std::vector<double> radii_;  // of the stages, widest first
};

void Registration::buildSurfaces() {
    surfaces_.resize(views_.size());
    parallelForEach(views_.size(), options_.threads, [&](std::size_t i) {
        surfaces_[i] = std::make_unique<ScanSurface>(views_[i]);
    });
    const std::size_t n = views_.size();
    coarse_.sources.resize(n);
    fine_.sources.resize(n);
    coarse_.hints.resize(n);
    fine_.hints.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        fine_.sources[i] = surfaces_[i]->samples(options_.samplesPerScan);
        for (std::size_t k = 0; k < fine_.sources[i].size(); k += kThinning)
            coarse_.sources[i].push_back(fine_.sources[i][k]);
    }
}

void Registration::chooseRadii() {
    std::vector<double> sides;
    for (const auto& s : surfaces_)
        if (!s->empty()) sides.push_back(s->typicalSide());
    double spacing = 0;
    if (!sides.empty()) {
        std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
        spacing = sides[sides.size() / 2];
    }
    start_ = options_.startRadius > 0 ? options_.startRadius : 8 * spacing;
    final_ = options_.finalRadius > 0 ? options_.finalRadius : 1.5 * spacing;
    final_ = std::min(final_, start_);
    spacing_ = spacing;
    tolerance_ = options_.tolerance > 0 ? options_.tolerance : spacing / 5000;
}

void Registration::place() {
    placed_.resize(views_.size());
    for (std::size_t i = 0; i < views_.size(); ++i) {
        Placed& p = placed_[i];
        p.rotation = poses_[i].rotation.toRotationMatrix();
        p.translation = poses_[i].translation;
        p.centre = poses_[i].apply(surfaces_[i]->centroid());
        p.scale = std::max(surfaces_[i]->spread(), std::numeric_limits<double>::min());
    }
}

// Scans whose placed boxes, grown by the radius, meet.
void Registration::findNeighbours(double radius) {
    const std::size_t n = views_.size();
    std::vector<Eigen::AlignedBox3d> boxes(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!usable_[i]) continue;
        const Eigen::Vector3d lo = surfaces_[i]->boxMin().cast<double>();
        const Eigen::Vector3d hi = surfaces_[i]->boxMax().cast<double>();
        for (int corner = 0; corner < 8; ++corner) {
            const Eigen::Vector3d c((corner & 1) ? hi.x() : lo.x(), (corner & 2) ? hi.y() : lo.y(),
                                    (corner & 4) ? hi.z() : lo.z());
            boxes[i].extend(poses_[i].apply(c));
        }
    }
    neighbours_.assign(n, {});
    for (std::size_t a = 0; a < n; ++a) {
        if (!usable_[a]) continue;
        for (std::size_t b = 0; b < n; ++b) {
            if (a == b || !usable_[b]) continue;
            const Eigen::Vector3d grow = Eigen::Vector3d::Constant(radius);
            const Eigen::AlignedBox3d reach(boxes[b].min() - grow, boxes[b].max() + grow);
            if (!reach.intersects(boxes[a])) continue;
            Relative r;
            r.target = static_cast<uint32_t>(b);
            const Eigen::Matrix3d back = placed_[b].rotation.transpose();
            r.rotation = (back * placed_[a].rotation).cast<float>();
            r.translation =
                (back * (placed_[a].translation - placed_[b].translation)).cast<float>();
            const Eigen::Vector3f g = Eigen::Vector3f::Constant(static_cast<float>(radius));
            r.boxMin = surfaces_[b]->boxMin() - g;
            r.boxMax = surfaces_[b]->boxMax() + g;
            neighbours_[a].push_back(r);
        }
    }
}

void Registration::pairChunk(uint32_t a, const std::vector<uint32_t>& sources, std::size_t begin,
                             std::size_t end, std::size_t level, bool walk, bool linearise,
                             uint32_t* hints, std::vector<PairSums>* out) const {
    const double radius = radii_[level];
    const ScanSurface& source = *surfaces_[a];
    const Placed& pa = placed_[a];
    const float cosLimit = static_cast<float>(std::cos(options_.normalAngle * M_PI / 180));
    for (std::size_t k = begin; k < end; ++k) {
        const uint32_t i = sources[k];
        const Eigen::Vector3f p = source.point(i);
        for (std::size_t nb = 0; nb < neighbours_[a].size(); ++nb) {
            const Relative& rel = neighbours_[a][nb];
            const Eigen::Vector3f q = rel.rotation * p + rel.translation;
            if ((q.array() < rel.boxMin.array()).any() || (q.array() > rel.boxMax.array()).any())
                continue;
            SurfaceFoot foot;
            uint32_t* hint = &hints[(k - begin) * neighbours_[a].size() + nb];
            if (!surfaces_[rel.target]->nearest(q, level, walk, hint, &foot) || foot.onBorder)
                continue;
            if ((rel.rotation * source.normal(i)).dot(foot.normal) < cosLimit) continue;

            const Placed& pb = placed_[rel.target];
            const Eigen::Vector3d x = pa.rotation * p.cast<double>() + pa.translation;
            const Eigen::Vector3d y = pb.rotation * foot.point.cast<double>() + pb.translation;
            const Eigen::Vector3d m = pb.rotation * foot.normal.cast<double>();
            const double residual = m.dot(x - y);
            PairSums& s = (*out)[nb];
            ++s.pairs;
            s.squares += residual * residual;
            if (!linearise) continue;
            const double u = static_cast<double>(foot.distance) / radius;
            const double w = (1 - u * u) * (1 - u * u);
            Vec12 j;
            j.segment<3>(0) = (x - pa.centre).cross(m) / pa.scale;
            j.segment<3>(3) = m;
            j.segment<3>(6) = (m.cross(x - y) - (y - pb.centre).cross(m)) / pb.scale;
            j.segment<3>(9) = -m;
            s.normal.selfadjointView<Eigen::Upper>().rankUpdate(j, w);
            s.gradient += (w * residual) * j;
            s.objective += w * residual * residual;
        }
    }
}

// A hint of a nearby source as the start of another source's search.
uint32_t seedOf(uint32_t hint) {
    return hint < ScanSurface::kNothingNear ? hint | ScanSurface::kSeed : ScanSurface::kNoHint;
}

// Gives each source a hint column per neighbour: the hint it had for that
// neighbour, or else (in the fine set) the hint its coarse source had, or
// else none.
void Registration::alignHints(SampleSet* set, std::size_t level) {
    if (level != set->level || set->drift > spacing_ / 3) {
        for (Hints& h : set->hints)
            std::replace(h.ids.begin(), h.ids.end(), ScanSurface::kNothingNear,
                         ScanSurface::kNoHint);
        set->level = level;
        set->drift = 0;
    }
    for (std::size_t a = 0; a < views_.size(); ++a) {
        std::vector<uint32_t> targets;
        for (const Relative& r : neighbours_[a]) targets.push_back(r.target);
        Hints& h = set->hints[a];
        const std::size_t count = set->sources[a].size();
        if (targets == h.targets && h.ids.size() == count * targets.size()) continue;
        const Hints& coarse = coarse_.hints[a];
        std::vector<uint32_t> ids(count * targets.size(), ScanSurface::kNoHint);
        for (std::size_t to = 0; to < targets.size(); ++to) {
            const auto own = std::find(h.targets.begin(), h.targets.end(), targets[to]);
            const auto thin = std::find(coarse.targets.begin(), coarse.targets.end(), targets[to]);
            for (std::size_t k = 0; k < count; ++k) {
                uint32_t& id = ids[k * targets.size() + to];
                if (own != h.targets.end() && !h.ids.empty())
                    id = h.ids[k * h.targets.size() + (own - h.targets.begin())];
                else if (set == &fine_ && thin != coarse.targets.end() && !coarse.ids.empty())
                    id = seedOf(coarse.ids[k / kThinning * coarse.targets.size() +
                                           (thin - coarse.targets.begin())]);
            }
        }
        h.targets = std::move(targets);
        h.ids = std::move(ids);
    }
}

void Registration::pairUp(SampleSet* set, std::size_t level, bool walk, bool linearise) {
    alignHints(set, level);
    const std::vector<std::vector<uint32_t>>& sources = set->sources;
    struct Unit {
        uint32_t scan;
        std::size_t begin, end;
        std::vector<PairSums> sums;
    };
    std::vector<Unit> units;
    for (uint32_t a = 0; a < views_.size(); ++a) {
        if (neighbours_[a].empty()) continue;
        for (std::size_t k = 0; k < sources[a].size(); k += kChunk)
            units.push_back({a, k, std::min(sources[a].size(), k + kChunk), {}});
    }
    parallelForEach(units.size(), options_.threads, [&](std::size_t u) {
        Unit& unit = units[u];
        unit.sums.assign(neighbours_[unit.scan].size(), PairSums());
        uint32_t* hints = &set->hints[unit.scan].ids[unit.begin * neighbours_[unit.scan].size()];
        pairChunk(unit.scan, sources[unit.scan], unit.begin, unit.end, level, walk, linearise,
                  hints, &unit.sums);
    });
    // Summed in a fixed order, whichever thread made each part.
    sums_.assign(views_.size(), {});
    for (std::size_t a = 0; a < views_.size(); ++a) sums_[a].assign(neighbours_[a].size(), {});
    for (const Unit& unit : units)
        for (std::size_t nb = 0; nb < unit.sums.size(); ++nb)
            sums_[unit.scan][nb].add(unit.sums[nb]);
}

std::vector<std::size_t> Registration::pairsPerScan() const {
    std::vector<std::size_t> pairs(views_.size(), 0);
    for (std::size_t a = 0; a < views_.size(); ++a) {
        for (std::size_t nb = 0; nb < neighbours_[a].size(); ++nb) {
            pairs[a] += sums_[a][nb].pairs;
            pairs[neighbours_[a][nb].target] += sums_[a][nb].pairs;
        }
    }
    return pairs;
}

// After the first pairing: scans with too few pairs stay where they are, and
// each group of scans tied to one another but to no scan that stays gets
// its first scan held.
void Registration::holdUnconstrained() {
    const std::size_t n = views_.size();
    const std::vector<std::size_t> pairs = pairsPerScan();
    for (std::size_t a = 0; a < n; ++a)
        if (a != fixed_ && pairs[a] < std::max<std::size_t>(options_.minPairs, kTie))
            status_[a] = ScanStatus::TooLittleOverlap;

    std::vector<std::size_t> group(n);
    std::iota(group.begin(), group.end(), 0);
    auto root = [&](std::size_t a) {
        while (group[a] != a) a = group[a] = group[group[a]];
        return a;
    };
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t nb = 0; nb < neighbours_[a].size(); ++nb) {
            const std::size_t b = neighbours_[a][nb].target;
            if (sums_[a][nb].pairs < kTie) continue;
            const std::size_t ra = root(a), rb = root(b);
            group[std::max(ra, rb)] = std::min(ra, rb);
        }
    }
    std::vector<char> anchored(n, 0);
    for (std::size_t a = 0; a < n; ++a)
        if (status_[a] != ScanStatus::Refined) anchored[root(a)] = 1;
    for (std::size_t a = 0; a < n; ++a) {
        if (anchored[root(a)]) continue;
        status_[a] = ScanStatus::HeldForItsGroup;  // the lowest index of its group
        anchored[root(a)] = 1;
    }
}

Eigen::VectorXd Registration::solve() const {
    const std::size_t n = views_.size();
    std::vector<int> column(n, -1);
    int free = 0;
    for (std::size_t a = 0; a < n; ++a)
        if (status_[a] == ScanStatus::Refined) column[a] = 6 * free++;
    if (free == 0) return {};

    std::map<std::pair<int, int>, Mat6> blocks;  // upper blocks by first column
    Eigen::VectorXd gradient = Eigen::VectorXd::Zero(6 * free);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t nb = 0; nb < neighbours_[a].size(); ++nb) {
            const PairSums& s = sums_[a][nb];
            if (s.pairs == 0) continue;
            const Mat12 full = s.normal.selfadjointView<Eigen::Upper>();
            const int ends[2] = {column[a], column[neighbours_[a][nb].target]};
            for (int i = 0; i < 2; ++i) {
                if (ends[i] < 0) continue;
                gradient.segment<6>(ends[i]) += s.gradient.segment<6>(6 * i);
                for (int j = 0; j < 2; ++j) {
                    if (ends[j] < 0 || ends[j] < ends[i]) continue;
                    auto found = blocks.try_emplace({ends[i], ends[j]}, Mat6::Zero()).first;
                    found->second += full.block<6, 6>(6 * i, 6 * j);
                }
            }
        }
    }
    // A touch of damping keeps directions that no pair constrains (a scan
    // that can slide along its overlap) where they are.
    double trace = 0;
    for (const auto& [at, block] : blocks)
        if (at.first == at.second) trace += block.trace();
    const double damping = 1e-9 * trace / (6 * free) + std::numeric_limits<double>::min();
    std::vector<Eigen::Triplet<double>> entries;
    for (const auto& [at, block] : blocks)
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 6; ++j) {
                if (at.first == at.second && j < i) continue;
                double v = block(i, j);
                if (at.first == at.second && i == j) v += damping;
                entries.emplace_back(at.first + i, at.second + j, v);
            }
    Eigen::SparseMatrix<double> system(6 * free, 6 * free);
    system.setFromTriplets(entries.begin(), entries.end());
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Upper> solver(system);
    if (solver.info() != Eigen::Success) return {};
    Eigen::VectorXd step = solver.solve(-gradient);
    if (solver.info() != Eigen::Success || !step.allFinite()) return {};
    return step;
}

double Registration::move(const Eigen::VectorXd& step, double factor) {
    double moved = 0;
    int column = 0;
    for (std::size_t a = 0; a < views_.size() && step.size() > 0; ++a) {
        if (status_[a] != ScanStatus::Refined) continue;
        const Vec6 d = factor * step.segment<6>(column);
        column += 6;
        const Eigen::Vector3d omega = d.head<3>() / placed_[a].scale;
        const Eigen::Vector3d tau = d.tail<3>();
        poses_[a] = movedAbout(poses_[a], placed_[a].centre, omega, tau);
        moved = std::max(moved, omega.norm() * surfaces_[a]->reach() + tau.norm());
    }
    return moved;
}

// Per scan: the RMS residual and the number of pairs of the last pairing.
void Registration::measure(std::vector<double>* rms, std::vector<std::size_t>* pairs) const {
    const std::size_t n = views_.size();
    std::vector<double> squares(n, 0);
    pairs->assign(n, 0);
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t nb = 0; nb < neighbours_[a].size(); ++nb) {
            const PairSums& s = sums_[a][nb];
            for (std::size_t scan : {a, static_cast<std::size_t>(neighbours_[a][nb].target)}) {
                squares[scan] += s.squares;
                (*pairs)[scan] += s.pairs;
            }
        }
    }
    rms->assign(n, std::numeric_limits<double>::quiet_NaN());
    for (std::size_t a = 0; a < n; ++a)
        if ((*pairs)[a] > 0) (*rms)[a] = std::sqrt(squares[a] / static_cast<double>((*pairs)[a]));
}

RegistrationResult Registration::run() {
    const std::size_t n = views_.size();
    RegistrationResult result;
    poses_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        poses_[i] = views_[i].pose;
        poses_[i].rotation.normalize();
    }
    fixed_ = options_.fixedScan < n ? options_.fixedScan : 0;
    status_.assign(n, ScanStatus::Refined);
    if (n > 0) status_[fixed_] = ScanStatus::Fixed;
    result.scans.resize(n);
    if (n <= 1) {
        result.poses = poses_;
        result.converged = true;
        for (ScanReport& r : result.scans) {
            r.status = ScanStatus::Fixed;
            r.rmsBefore = r.rmsAfter = std::numeric_limits<double>::quiet_NaN();
        }
        return result;
    }
    const std::vector<Pose> given = poses_;
    buildSurfaces();
    for (std::size_t i = 0; i < n; ++i)
        usable_.push_back(!surfaces_[i]->empty() && poses_[i].translation.allFinite() &&
                          poses_[i].rotation.coeffs().allFinite() &&
                          poses_[i].rotation.norm() > 0.5);  // 1, or 0 when it was zero
    chooseRadii();
    for (std::size_t i = 0; i < n; ++i)
        if (!usable_[i] && i != fixed_) status_[i] = ScanStatus::TooLittleOverlap;

    for (double r = start_; r > final_ * 1.001; r /= 2) radii_.push_back(r);
    radii_.push_back(final_);
    parallelForEach(n, options_.threads, [&](std::size_t i) {
        for (double r : radii_) surfaces_[i]->addRadius(static_cast<float>(r));
    });

    std::vector<double> rmsBefore(n, std::numeric_limits<double>::quiet_NaN());
    std::vector<std::size_t> pairsBefore(n, 0);
    int iteration = 0;
    // Searches walk from their hints once the poses move by less than a
    // fifth of the typical side per iteration.
    const double walkable = spacing_ / 5;
    double lastMoved = std::numeric_limits<double>::infinity();
    // Stages: each radius with the coarse samples, the last with the fine ones.
    for (std::size_t stage = 0; stage < radii_.size(); ++stage) {
        const bool fine = stage + 1 == radii_.size();
        const std::size_t level = stage;
        const double radius = radii_[level];
        const double enough = fine ? tolerance_ : 0.05 * radius;
        SampleSet* sources = fine ? &fine_ : &coarse_;
        // Near the end a pair that comes and goes between iterations can make
        // the steps swing back and forth; each reversal halves them.
        Eigen::VectorXd previous;
        double factor = 1;
        for (int inStage = 0; iteration < options_.maxIterations; ++inStage) {
            place();
            findNeighbours(radius);
            pairUp(sources, level, lastMoved < walkable, true);
            if (iteration == 0) {
                measure(&rmsBefore, &pairsBefore);
                holdUnconstrained();
            }
            if (fine) {
                std::vector<double> unused;
                std::vector<std::size_t> pairs;
                measure(&unused, &pairs);
                for (std::size_t i = 0; i < n; ++i) result.scans[i].pairs = pairs[i];
            }
            const Eigen::VectorXd step = solve();
            if (step.size() > 0 && step.size() == previous.size() && step.dot(previous) < 0)
                factor /= 2;
            previous = step;
            const double moved = move(step, factor);
            lastMoved = moved;
            coarse_.drift += moved;
            fine_.drift += moved;
            IterationReport report;
            report.radius = radius;
            report.moved = moved;
            for (const auto& perScan : sums_)
                for (const PairSums& sums : perScan) {
                    report.pairs += sums.pairs;
                    report.objective += sums.objective;
                }
            result.trace.push_back(report);
            ++iteration;
            if (options_.onIteration) options_.onIteration(iteration, options_.maxIterations);
            if (moved <= enough) {
                result.converged = fine;
                break;
            }
            if (!fine && inStage + 1 >= 10) break;
        }
    }

    // The fit before and after, measured alike: the first stage's pairs.
    place();
    findNeighbours(start_);
    pairUp(&coarse_, 0, lastMoved < walkable, false);
    std::vector<double> rmsAfter;
    std::vector<std::size_t> pairsAfter;
    measure(&rmsAfter, &pairsAfter);

    result.poses = poses_;
    for (const auto& s : surfaces_) result.indexBytes += s->bytes();
    result.iterations = iteration;
    result.startRadius = start_;
    result.finalRadius = final_;
    for (std::size_t i = 0; i < n; ++i) {
        ScanReport& r = result.scans[i];
        r.status = status_[i];
        r.rmsBefore = rmsBefore[i];
        r.pairsBefore = pairsBefore[i];
        r.rmsAfter = rmsAfter[i];
        r.pairsAfter = pairsAfter[i];
        r.rotationDegrees = rotationDegreesBetween(given[i].rotation, poses_[i].rotation);
        const Eigen::Vector3d c = surfaces_[i]->centroid();
        r.translation = (poses_[i].apply(c) - given[i].apply(c)).norm();
    }
    return result;
}

}  // namespace

RegistrationResult registerScans(const std::vector<ScanPoints>& scans,
                                 const RegistrationOptions& options) {
    return Registration(scans, options).run();
}

}  // namespace registration
