#include "slab/slab_ops.h"

#include <dirent.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <new>

#include "clean/clean_report.h"
#include "clean/distance_histogram.h"
#include "clean/histogram_plot.h"
#include "clean/output_targets.h"
#include "clean/scan_loading.h"
#include "clean/value_export.h"
#include "cli/progress_bar.h"
#include "files/file_identity.h"
#include "files/file_replacement.h"
#include "files/printable_name.h"
#include "files/regular_file.h"
#include "files/temporary_files.h"
#include "formats/structured_scan.h"
#include "parallel/parallel_for.h"
#include "picture/png_file.h"
#include "scan/bounding_box.h"
#include "scan/distance_stats.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/console.h"
#include "scene/plain_paths.h"
#include "scene/range_grid.h"
#include "scene/scene_state.h"
#include "scene/unmeasured.h"
#include "slab/slab_files.h"

namespace {

using slab::Manifest;
using slab::ManifestScan;
using slab::ManifestSlab;

// Bytes a slab's analysis holds per point: the slab file read whole (about
// 40), the segments as read (about 40: position, index, two triangles'
// corners), the values, the cell sorting and the records made per cell.
constexpr std::uint64_t kSlabBytesPerPoint = 160;
// At most this many slabs (each slab file is open while the scans are
// bucketed).
constexpr int kMostSlabs = 512;

std::string line(const std::string& message) {
    return std::string(kCleanProgram) + ": " + message + "\n";
}

// Memory freed by a step is kept for its next scan or slab instead of going
// back to the system. The steps allocate and free arrays of about the same
// sizes scan after scan and slab after slab, and every page fresh from the
// system costs a fault on its first touch: on virtual machines that is more
// than the work done on the page (the partition of ten scans of a million
// points took 378 000 faults and twice its time without this). The process
// then holds its peak, which the slab budget bounds. Threads started from
// now on share one arena, so that memory one worker thread freed serves the
// next scan whichever thread loads it.
void keepFreedMemory() {
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        mallopt(M_ARENA_MAX, 1);
    });
#endif
}

SlabOutcome failed(CleanStatus status, const std::string& message) {
    SlabOutcome o;
    o.status = status;
    o.message = line(message);
    return o;
}

// Out of room (ENOSPC, EDQUOT) or another write failure.
CleanStatus writeStatus(int error) {
    return error == ENOSPC || error == EDQUOT ? kNoRoom : kWriteFailed;
}

bool statFile(const std::string& path, std::uint64_t* size, std::int64_t* mtimeNs) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    *mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

// FNV-1a of the configuration's text, in hexadecimal; "" when unreadable.
std::string digestOf(const std::string& path) {
    std::string why;
    FILE* f = files::openRegularFile(path, &why);
    if (f == nullptr) return "";
    std::uint64_t h = 1469598103934665603ull;
    int c;
    while ((c = std::fgetc(f)) != EOF) h = (h ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    std::fclose(f);
    char text[24];
    std::snprintf(text, sizeof text, "%016" PRIx64, h);
    return text;
}

std::string planKey(const SlabPlan& plan) {
    return "cells=" + std::to_string(plan.slabCells) + " bytes=" + std::to_string(plan.slabBytes);
}

// The records of a configuration, one at a time or a few at once.
ScanConfigRecords subset(const ScanConfigRecords& all, std::size_t begin, std::size_t end) {
    ScanConfigRecords r;
    r.fileName = all.fileName;
    r.config = all.config;
    r.records.assign(all.records.begin() + static_cast<std::ptrdiff_t>(begin),
                     all.records.begin() + static_cast<std::ptrdiff_t>(end));
    r.bmeshWords = static_cast<int>(end - begin);
    return r;
}

ScanConfigLoad quietLoad(const ScanConfigRecords& records) {
    ConsoleCapture transcript;
    return loadScanRecords(records, true);
}

// The message of scans that could not be read, as the in-memory run says it.
std::string failureMessage(const std::vector<ConfigScanFailure>& failures, int unread,
                           const ScanConfigRecords& records) {
    std::string text =
        line(std::to_string(failures.size()) + " of " + std::to_string(records.records.size()) +
             " scans of " + files::printableName(records.fileName) +
             " cannot be read; nothing written:");
    for (const ConfigScanFailure& f : failures) {
        std::string l = files::printableName(f.path) + ": " + f.status.reason;
        if (f.status.failure == LoadFailure::DataDamaged && unread > 0)
            l += " (" + std::to_string(unread) + (unread == 1 ? " later scan" : " later scans") +
                 " not read)";
        text += "  " + l + "\n";
    }
    return text;
}

int layerOf(const Lattice& l, int axis, const Point3& p, bool* inside) {
    int x = 0, y = 0, z = 0;
    *inside = l.cellOf(p, &x, &y, &z);
    return axis == 0 ? x : axis == 1 ? y : z;
}

// The layers where slabs start, and the end: slabs of `thickness` layers,
// or cut where the estimated points reach `budget`.
std::vector<int> cutLayers(int layers, const std::vector<double>& perLayer, const SlabPlan& plan) {
    std::vector<int> cuts{0};
    if (plan.slabCells > 0) {
        const int thickness = std::max(plan.slabCells, (layers + kMostSlabs - 1) / kMostSlabs);
        for (int at = thickness; at < layers; at += thickness) cuts.push_back(at);
    } else if (plan.slabBytes > 0) {
        double total = 0;
        for (double v : perLayer) total += v;
        double budget = double(plan.slabBytes) / double(kSlabBytesPerPoint);
        // Two neighbouring slabs hold more than the budget together, so this
        // keeps them fewer than kMostSlabs.
        budget = std::max(budget, 2 * total / (kMostSlabs - 2));
        double held = 0;
        for (int at = 0; at < layers; ++at) {
            if (held > 0 && held + perLayer[static_cast<std::size_t>(at)] > budget) {
                cuts.push_back(at);
                held = 0;
            }
            held += perLayer[static_cast<std::size_t>(at)];
        }
    }
    cuts.push_back(layers);
    return cuts;
}

// One scan's extent along the slab axis, for the estimate of points per layer.
struct Extent {
    float low = 0, high = 0;
    std::uint64_t points = 0;
};

// What the survey found.
struct Survey {
    BoundingBox box;
    float magnitude = 0.0f;
    std::vector<std::array<Extent, 3>> extents;
};

// The warnings the in-memory run says once the scans are read.
std::string warningsOf(const Manifest& m, const CleanOptions& o) {
    if (o.verbosity == Verbosity::Quiet) return "";
    std::string text;
    for (const std::string& w : m.warnings) text += line("warning: " + w);
    if (!o.hasThreshold && !m.thresholdNote.empty()) text += line("warning: " + m.thresholdNote);
    return text;
}

// Checks that the work folder holds a finished partition of this campaign.
bool reusable(const std::string& workDir, const Manifest& fresh, Manifest* found) {
    std::string error;
    if (!slab::readManifest(workDir, found, &error)) return false;
    if (found->config != fresh.config || found->configDigest != fresh.configDigest ||
        found->planKey != fresh.planKey)
        return false;
    for (const ManifestScan& s : found->scans) {
        std::uint64_t size;
        std::int64_t mtime;
        if (!statFile(s.path, &size, &mtime) || size != s.size || mtime != s.mtimeNs) return false;
    }
    for (std::size_t i = 0; i < found->slabs.size(); ++i) {
        std::uint64_t size;
        std::int64_t mtime;
        if (!statFile(slab::slabPath(workDir, static_cast<int>(i)), &size, &mtime) ||
            size != found->slabs[i].bytes)
            return false;
    }
    return true;
}

// Removes the files of an earlier partition (manifest first, so that it is
// never taken for a finished one).
void clearWorkFiles(const std::string& workDir) {
    std::remove(slab::manifestPath(workDir).c_str());
    DIR* d = opendir(workDir.c_str());
    if (d == nullptr) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.rfind("slab-", 0) == 0) names.push_back(name);
    }
    closedir(d);
    for (const std::string& name : names) std::remove((workDir + "/" + name).c_str());
}

// The slab files being written, one per slab, and what they hold.
struct SlabWriters {
    std::vector<files::FileReplacement> files;
    std::vector<ManifestSlab> slabs;
    std::mutex lock;
    int error = 0;  // errno of the first failed write
    std::string failedFile;
};

// Buckets one loaded scan's points and triangles into its segments and
// appends them to the slab files.
void bucketScan(const PlyMesh& scan, std::uint32_t id, const Lattice& l, int axis,
                const std::vector<int>& slabOfLayer, SlabWriters* w, ManifestScan* record) {
    const std::vector<Point3>& world = scan.worldVertices;
    const std::size_t n = world.size();
    const std::size_t slabs = w->slabs.size();
    std::vector<std::uint32_t> pointCount(slabs, 0), triangleCount(slabs, 0);
    std::vector<std::int32_t> pointSlab(n, -1);
    for (std::size_t k = 0; k < n; ++k) {
        bool inside;
        const int layer = layerOf(l, axis, world[k], &inside);
        if (!inside) continue;
        pointSlab[k] = slabOfLayer[static_cast<std::size_t>(layer)];
        ++pointCount[static_cast<std::size_t>(pointSlab[k])];
    }
    struct Triangle {
        std::int32_t slab, a, b, c;
    };
    std::vector<Triangle> triangles;
    triangles.reserve(2 * n);
    const RasterGrid raster = rasterOf(scan, scan.gridStep);
    forEachGridTriangle(raster, scan.vertices.data(), scan.maxEdgeLength,
                        [&](uint64_t, int, int32_t a, int32_t b, int32_t c) {
                            if (!inIndexRange(a, n) || !inIndexRange(b, n) || !inIndexRange(c, n))
                                return;
                            const int32_t corners[3] = {a, b, c};
                            bool inside;
                            const int layer =
                                layerOf(l, axis, centroidOf(corners, 3, world), &inside);
                            if (!inside) return;
                            const int s = slabOfLayer[static_cast<std::size_t>(layer)];
                            ++triangleCount[static_cast<std::size_t>(s)];
                            triangles.push_back({s, a, b, c});
                        });
    record->triangles = triangles.size();
    // Triangles grouped by slab, keeping the walk's order.
    std::vector<std::size_t> start(slabs + 1, 0);
    for (std::size_t s = 0; s < slabs; ++s) start[s + 1] = start[s] + triangleCount[s];
    std::vector<Triangle> bySlab(triangles.size());
    {
        std::vector<std::size_t> at(start.begin(), start.end() - 1);
        for (const Triangle& t : triangles) bySlab[at[static_cast<std::size_t>(t.slab)]++] = t;
    }
    std::vector<Triangle>().swap(triangles);
    std::vector<std::vector<std::uint32_t>> points(slabs);
    for (std::size_t s = 0; s < slabs; ++s) points[s].reserve(pointCount[s]);
    for (std::size_t k = 0; k < n; ++k)
        if (pointSlab[k] >= 0)
            points[static_cast<std::size_t>(pointSlab[k])].push_back(static_cast<uint32_t>(k));
    std::vector<std::int32_t> local(n, -1);
    std::string bytes;
    for (std::size_t s = 0; s < slabs; ++s) {
        if (points[s].empty() && start[s] == start[s + 1]) continue;
        slab::Segment seg;
        seg.scan = id;
        seg.index = std::move(points[s]);
        seg.points = static_cast<std::uint32_t>(seg.index.size());
        for (std::size_t i = 0; i < seg.index.size(); ++i)
            local[seg.index[i]] = static_cast<std::int32_t>(i);
        for (std::size_t t = start[s]; t < start[s + 1]; ++t)
            for (std::int32_t v : {bySlab[t].a, bySlab[t].b, bySlab[t].c}) {
                auto& place = local[static_cast<std::size_t>(v)];
                if (place < 0) {
                    place = static_cast<std::int32_t>(seg.index.size());
                    seg.index.push_back(static_cast<std::uint32_t>(v));
                }
                seg.corners.push_back(place);
            }
        for (std::uint32_t v : seg.index) local[v] = -1;
        seg.positions.reserve(seg.index.size());
        for (std::uint32_t v : seg.index) seg.positions.push_back(world[v]);
        bytes.clear();
        slab::appendSegment(seg, &bytes);
        std::lock_guard<std::mutex> hold(w->lock);
        if (w->error != 0) return;
        FILE* f = w->files[s].stream();
        if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            w->error = errno != 0 ? errno : EIO;
            w->failedFile = w->files[s].target();
            return;
        }
        ManifestSlab& m = w->slabs[s];
        m.bytes += bytes.size();
        ++m.segments;
        m.points += seg.points;
        m.triangles += seg.corners.size() / 3;
    }
}

SlabOutcome partitionInner(const CleanOptions& o, const std::string& workDir, const SlabPlan& plan,
                           int threads, const PhaseReport& onPhase) {
    keepFreedMemory();
    auto report = [&](const char* phase, std::size_t done, std::size_t all) {
        if (onPhase)
            onPhase(phase, static_cast<std::int64_t>(done), static_cast<std::int64_t>(all));
    };
    std::string error;
    if (!checkConfiguration(o.config, &error)) return failed(kUnreadable, error);
    if (formats::isStructuredScanFile(o.config))
        return failed(kUnreadable, files::printableName(o.config) +
                                       ": a PTX or E57 file is cleaned in memory only");
    const ScanConfigRecords records = readScanRecords(o.config);
    const CleanInput checked = checkRecords(records);
    if (checked.status != kSuccess) {
        SlabOutcome out = failed(checked.status, checked.error);
        for (const std::string& d : checked.details) out.message += "  " + d + "\n";
        return out;
    }
    if (!o.summaryOnly) {
        std::vector<std::string> scanPaths;
        for (const ScanRecord& r : records.records) scanPaths.push_back(r.path);
        const std::vector<std::string> clashes =
            targetCollisions(scanPaths, outputTargets(scanPaths, o.outFolder, o.exportValues));
        if (!clashes.empty()) {
            SlabOutcome out;
            out.status = kUnreadable;
            for (const std::string& clash : clashes) out.message += line(clash);
            out.message += line("nothing written");
            return out;
        }
    }
    for (const ScanRecord& r : records.records)
        if (formats::isStructuredScanFile(r.path))
            return failed(kUnreadable, files::printableName(r.path) +
                                           ": a PTX or E57 file is cleaned in memory only");

    Manifest m;
    m.config = o.config;
    m.configDigest = digestOf(o.config);
    m.planKey = planKey(plan);
    for (const std::string& w : checked.warnings) m.warnings.push_back(w);
    {
        Manifest found;
        if (reusable(workDir, m, &found)) {
            SlabOutcome out;
            out.reused = true;
            out.slabs = static_cast<int>(found.slabs.size());
            out.message = warningsOf(found, o);
            return out;
        }
    }
    if (mkdir(workDir.c_str(), 0700) != 0 && errno != EEXIST)
        return failed(writeStatus(errno),
                      "cannot make " + files::printableName(workDir) + ": " + std::strerror(errno));
    clearWorkFiles(workDir);

    // The survey: every scan read once for the box, the magnitude, the
    // default threshold and each scan's extent.
    if (threads <= 0) threads = workerThreads();
    const std::size_t n = records.records.size();
    const std::size_t batch = static_cast<std::size_t>(std::max(1, threads));
    Survey survey;
    std::vector<ConfigScanFailure> failures;
    int unread = 0;
    for (std::size_t begin = 0; begin < n && unread == 0; begin += batch) {
        const std::size_t end = std::min(n, begin + batch);
        report("Reading", begin, n);
        ScanConfigLoad load = quietLoad(subset(records, begin, end));
        if (begin == 0) {
            // As the whole configuration's load sets it: from the first scan
            // when there are two or more, else the current threshold.
            m.defaultThreshold = tossThreshold;
            if (!load.scans.empty() && n > 1) {
                m.defaultThreshold = defaultTossThreshold(*load.scans[0].mesh);
                m.thresholdNote = thresholdNote(*load.scans[0].mesh, m.defaultThreshold);
            }
        }
        for (ConfigScanFailure& f : load.failures) failures.push_back(std::move(f));
        if (load.unread > 0 || (!load.failures.empty() &&
                                load.failures.back().status.failure == LoadFailure::DataDamaged)) {
            unread = load.unread + static_cast<int>(n - end);
            break;
        }
        for (ConfigScan& scan : load.scans) {
            const PlyMesh& s = *scan.mesh;
            if (!trianglesInRaster(s) && !s.faces.empty())
                return failed(kUnreadable,
                              files::printableName(s.fileName) +
                                  " has faces of its own: it is cleaned in memory only");
            ManifestScan ms;
            ms.name = scan.name;
            ms.path = s.fileName;
            ms.label = s.label();
            ms.output = s.outputSource();
            ms.points = s.worldVertices.size();
            statFile(s.fileName, &ms.size, &ms.mtimeNs);
            m.scans.push_back(ms);
            survey.box.extendBy(s);
            survey.magnitude = std::max(survey.magnitude, sceneMagnitude(s.worldVertices));
            std::array<Extent, 3> e;
            BoundingBox own;
            own.extendBy(s);
            e[0] = {own.minX(), own.maxX(), ms.points};
            e[1] = {own.minY(), own.maxY(), ms.points};
            e[2] = {own.minZ(), own.maxZ(), ms.points};
            survey.extents.push_back(e);
        }
    }
    if (!failures.empty()) {
        SlabOutcome out;
        out.status = kUnreadable;
        out.message = failureMessage(failures, unread, records);
        return out;
    }
    if (m.scans.size() != n)
        return failed(kUnreadable, files::printableName(o.config) +
                                       " names files that are not one scan each; it is cleaned "
                                       "in memory only");
    m.magnitude = survey.magnitude;

    Lattice& l = m.lattice;
    if (survey.box.isEmpty()) {
        m.why = "No scan has points: nothing to analyse.";
    } else if (!l.fromBox(survey.box)) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "The scans span %g x %g x %g, too large for the analysis lattice: "
                      "not analysed.",
                      double(survey.box.extentX()), double(survey.box.extentY()),
                      double(survey.box.extentZ()));
        m.why = text;
        l = Lattice();
    } else {
        m.analysed = true;
    }
    if (m.analysed) {
        m.axis = l.nx >= l.ny && l.nx >= l.nz ? 0 : l.ny >= l.nz ? 1 : 2;
        const int layers = m.axis == 0 ? l.nx : m.axis == 1 ? l.ny : l.nz;
        const float low = m.axis == 0 ? l.minX : m.axis == 1 ? l.minY : l.minZ;
        std::vector<double> perLayer;
        if (plan.slabCells <= 0 && plan.slabBytes > 0) {
            // Each scan's points spread evenly over the layers it spans.
            perLayer.assign(static_cast<std::size_t>(layers), 0.0);
            for (const auto& e : survey.extents) {
                const Extent& x = e[static_cast<std::size_t>(m.axis)];
                if (x.points == 0 || !(x.low <= x.high)) continue;
                const int a = std::clamp(static_cast<int>((x.low - low) / cellSize), 0, layers - 1);
                const int b =
                    std::clamp(static_cast<int>((x.high - low) / cellSize), a, layers - 1);
                for (int k = a; k <= b; ++k)
                    perLayer[static_cast<std::size_t>(k)] += double(x.points) / (b - a + 1);
            }
        }
        const std::vector<int> cuts = cutLayers(layers, perLayer, plan);
        std::vector<int> slabOfLayer(static_cast<std::size_t>(layers));
        for (std::size_t s = 0; s + 1 < cuts.size(); ++s)
            for (int k = cuts[s]; k < cuts[s + 1]; ++k)
                slabOfLayer[static_cast<std::size_t>(k)] = static_cast<int>(s);

        // The bucketing: every scan read again, its points and triangles
        // appended to the slabs' files.
        SlabWriters w;
        const std::size_t slabs = cuts.size() - 1;
        w.files.resize(slabs);
        w.slabs.resize(slabs);
        for (std::size_t s = 0; s < slabs; ++s) {
            w.slabs[s].firstLayer = cuts[s];
            w.slabs[s].endLayer = cuts[s + 1];
            const std::string header = slab::slabHeader(static_cast<int>(s), w.slabs[s], m.axis);
            errno = 0;
            if (!w.files[s].create(slab::slabPath(workDir, static_cast<int>(s)), &error) ||
                std::fwrite(header.data(), 1, header.size(), w.files[s].stream()) != header.size())
                return failed(writeStatus(errno), "cannot write the work folder " +
                                                      files::printableName(workDir) + ": " + error);
            w.slabs[s].bytes = header.size();
        }
        for (std::size_t begin = 0; begin < n && w.error == 0; begin += batch) {
            const std::size_t end = std::min(n, begin + batch);
            report("Spilling", begin, n);
            ScanConfigLoad load = quietLoad(subset(records, begin, end));
            if (!load.failures.empty() || load.scans.size() != end - begin)
                return failed(kUnreadable,
                              files::printableName(o.config) + ": a scan could not be read again");
            parallelFor(load.scans.size(), threads, [&](std::size_t b, std::size_t e, int) {
                for (std::size_t i = b; i < e; ++i) {
                    ManifestScan& record = m.scans[begin + i];
                    const PlyMesh& scan = *load.scans[i].mesh;
                    if (scan.worldVertices.size() != record.points) {
                        std::lock_guard<std::mutex> hold(w.lock);
                        if (w.error == 0) {
                            w.error = -1;
                            w.failedFile = scan.fileName;
                        }
                        return;
                    }
                    bucketScan(scan, static_cast<std::uint32_t>(begin + i), l, m.axis, slabOfLayer,
                               &w, &record);
                }
            });
        }
        if (w.error == -1)
            return failed(kUnreadable,
                          files::printableName(w.failedFile) + " changed while it was read");
        if (w.error != 0)
            return failed(writeStatus(w.error), "cannot write " +
                                                    files::printableName(w.failedFile) + ": " +
                                                    std::strerror(w.error));
        // The segment counts go into the headers; then every file is put in place.
        for (std::size_t s = 0; s < slabs; ++s) {
            const std::string header = slab::slabHeader(static_cast<int>(s), w.slabs[s], m.axis);
            FILE* f = w.files[s].stream();
            errno = 0;
            if (std::fseek(f, 0, SEEK_SET) != 0 ||
                std::fwrite(header.data(), 1, header.size(), f) != header.size() ||
                !w.files[s].close(&error)) {
                const int why = errno;
                for (std::size_t k = 0; k < slabs; ++k) w.files[k].discard();
                return failed(writeStatus(why), "cannot write the work folder " +
                                                    files::printableName(workDir) + ": " + error);
            }
        }
        for (std::size_t s = 0; s < slabs; ++s)
            if (!w.files[s].commit(&error)) {
                clearWorkFiles(workDir);
                return failed(kWriteFailed, "cannot write the work folder " +
                                                files::printableName(workDir) + ": " + error);
            }
        m.slabs = w.slabs;
    }
    errno = 0;
    if (!files::replaceFileWith(slab::manifestPath(workDir), slab::manifestJson(m), &error)) {
        const int why = errno;
        clearWorkFiles(workDir);
        return failed(writeStatus(why), "cannot write the work folder " +
                                            files::printableName(workDir) + ": " + error);
    }
    SlabOutcome out;
    out.slabs = static_cast<int>(m.slabs.size());
    out.message = warningsOf(m, o);
    return out;
}

SlabOutcome analyseInner(const std::string& workDir, int slabNumber, int threads) {
    keepFreedMemory();
    std::string error;
    Manifest m;
    if (!slab::readManifest(workDir, &m, &error)) return failed(kUnreadable, error);
    std::vector<slab::SlabValues> done;
    {
        struct stat st;
        if (stat(slab::valuesPath(workDir, slabNumber).c_str(), &st) == 0 &&
            slab::readValues(workDir, slabNumber, m, &done, &error)) {
            SlabOutcome out;
            out.reused = true;
            return out;
        }
    }
    std::vector<slab::Segment> segments;
    if (!slab::readSlab(workDir, slabNumber, m, &segments, &error))
        return failed(kUnreadable, error);
    std::vector<ListedScan> scans(segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        scans[i].positions = std::move(segments[i].positions);
        scans[i].points = segments[i].points;
        scans[i].triangles = std::move(segments[i].corners);
    }
    measureListedScans(scans, m.lattice, m.magnitude, threads);
    std::vector<slab::SlabValues> values(segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        values[i].scan = segments[i].scan;
        for (std::size_t k = 0; k < scans[i].points; ++k)
            if (isMeasured(scans[i].values[k])) {
                values[i].index.push_back(segments[i].index[k]);
                values[i].values.push_back(scans[i].values[k]);
            }
    }
    errno = 0;
    if (!files::replaceFileWith(slab::valuesPath(workDir, slabNumber),
                                slab::valuesBytes(slabNumber, values), &error))
        return failed(writeStatus(errno),
                      "cannot write " +
                          files::printableName(slab::valuesPath(workDir, slabNumber)) + ": " +
                          error);
    return SlabOutcome();
}

// A step's errors as its outcome: running out of memory or a failure of the
// library is said, never thrown.
template <class Step>
SlabOutcome guarded(const Step& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return failed(kUnreadable, "out of memory");
    } catch (const std::exception& e) {
        return failed(kUnreadable, e.what());
    }
}

}  // namespace

SlabOutcome partitionCampaign(const CleanOptions& options, const std::string& workDir,
                              const SlabPlan& plan, int threads) {
    return guarded([&] { return partitionInner(options, workDir, plan, threads, PhaseReport()); });
}

SlabOutcome partitionCampaignReporting(const CleanOptions& options, const std::string& workDir,
                                       const SlabPlan& plan, int threads,
                                       const PhaseReport& onPhase) {
    return guarded([&] { return partitionInner(options, workDir, plan, threads, onPhase); });
}

SlabOutcome analyseSlab(const std::string& workDir, int slab, int threads) {
    return guarded([&] { return analyseInner(workDir, slab, threads); });
}

namespace {

// Loads record `i` of the configuration again (lean, quietly).
std::unique_ptr<PlyMesh> reload(const ScanConfigRecords& records, std::size_t i) {
    ScanConfigLoad load = quietLoad(subset(records, i, i + 1));
    if (load.scans.size() != 1 || !load.failures.empty()) return nullptr;
    return std::move(load.scans[0].mesh);
}

CleanStatus gatherInner(const CleanOptions& o, const std::string& workDir,
                        const CleanConsole& console) {
    keepFreedMemory();
    ProgressBar bar(console.err, console.progress);
    auto say = [&](const std::string& message) {
        std::fprintf(console.err, "%s: %s\n", kCleanProgram, message.c_str());
    };
    if (const char* option = optionNeedingMemory(o)) {
        say(std::string(option) +
            " needs every scan in memory: clean with rangeloom-clean "
            "instead of in slabs; nothing written");
        return kBadUsage;
    }
    std::string error;
    Manifest m;
    if (!slab::readManifest(workDir, &m, &error)) {
        say(error);
        return kUnreadable;
    }
    if (digestOf(o.config) != m.configDigest) {
        say(files::printableName(workDir) + " holds the slabs of another configuration than " +
            files::printableName(o.config) + "; nothing written");
        return kUnreadable;
    }
    const std::size_t n = m.scans.size();
    std::vector<std::vector<float>> values(n);
    for (std::size_t i = 0; i < n; ++i)
        values[i].assign(static_cast<std::size_t>(m.scans[i].points), kUnmeasured);
    for (std::size_t s = 0; s < m.slabs.size(); ++s) {
        bar.show("Gathering", static_cast<std::int64_t>(s),
                 static_cast<std::int64_t>(m.slabs.size()));
        std::vector<slab::SlabValues> v;
        if (!slab::readValues(workDir, static_cast<int>(s), m, &v, &error)) {
            bar.clear();
            say(error);
            return kUnreadable;
        }
        for (const slab::SlabValues& part : v)
            for (std::size_t k = 0; k < part.index.size(); ++k)
                values[part.scan][part.index[k]] = part.values[k];
    }
    bar.clear();
    for (const ManifestScan& s : m.scans) {
        std::uint64_t size;
        std::int64_t mtime;
        if (!statFile(s.path, &size, &mtime) || size != s.size || mtime != s.mtimeNs) {
            say(files::printableName(s.path) +
                " changed since it was read into slabs; nothing written");
            return kUnreadable;
        }
    }

    tossThreshold = m.defaultThreshold;
    if (o.hasThreshold) tossThreshold = o.threshold;
    if (o.hasSteps) tossThreshold = thresholdAfterSteps(m.defaultThreshold, o.steps);
    const bool writing = !o.summaryOnly;
    std::vector<std::string> scanPaths, outputNames;
    for (const ManifestScan& s : m.scans) {
        scanPaths.push_back(s.path);
        outputNames.push_back(s.output);
    }
    const OutputTargets targets = outputTargets(outputNames, o.outFolder, o.exportValues);
    OutputTargets checked = writing ? targets : OutputTargets();
    for (const std::string* report : {&o.histogramFile, &o.plotFile})
        if (!report->empty()) checked.reports.push_back(*report);
    const std::vector<std::string> clashes = targetCollisions(scanPaths, checked);
    for (const std::string& clash : clashes) say(clash);
    if (!clashes.empty()) {
        say("nothing written");
        return kUnreadable;
    }
    std::string folderError;
    if (writing && !o.outFolder.empty() && !makeOutputFolder(o.outFolder, &folderError)) {
        say(files::printableName(folderError));
        return kWriteFailed;
    }
    if (o.verbosity != Verbosity::Quiet) {
        if (n == 1)
            say("warning: only one scan, nothing to compare it with; no point is tossed");
        else if (!m.analysed)
            say("warning: the scans were not analysed (" + m.why + "); no point is tossed");
    }

    std::vector<ScanReport> rows;
    for (std::size_t i = 0; i < n; ++i) {
        rows.push_back(reportValues(values[i], values[i].size(), tossThreshold));
        rows.back().file = m.scans[i].label;
        rows.back().written = "-";
        if (o.exportValues) rows.back().exported = "-";
    }
    int failedFiles = 0;
    if (writing) {
        // Each scan read from its source again, given its values and written.
        const ScanConfigRecords records = readScanRecords(o.config);
        files::ProtectedFiles keep;
        for (const ManifestScan& s : m.scans)
            keep.add(s.path, "scan " + files::printableName(s.path));
        // With two threads or more the next scan is read while this one is
        // written (the in-memory run reads its scans side by side too).
        const bool ahead = (o.threads > 0 ? o.threads : workerThreads()) >= 2;
        auto readAgain = [&records](std::size_t i) {
            return i < records.records.size() ? reload(records, i) : nullptr;
        };
        std::future<std::unique_ptr<PlyMesh>> next;
        for (std::size_t i = 0; i < n; ++i) {
            bar.show("Writing", static_cast<std::int64_t>(i), static_cast<std::int64_t>(n));
            std::unique_ptr<PlyMesh> scan = next.valid() ? next.get() : readAgain(i);
            if (ahead && i + 1 < n) next = std::async(std::launch::async, readAgain, i + 1);
            if (scan == nullptr || scan->worldVertices.size() != values[i].size()) {
                bar.clear();
                std::fprintf(console.err,
                             "Could not write %s: its scan %s could not be read again\n",
                             files::printableName(targets.cleaned[i]).c_str(),
                             files::printableName(m.scans[i].path).c_str());
                rows[i].written = "FAILED";
                if (o.exportValues) rows[i].exported = "FAILED";
                failedFiles += o.exportValues ? 2 : 1;
                continue;
            }
            scan->vertexValues = values[i];
            ConsoleCapture messages;
            const bool written = scan->writeCleaned(o.outFolder, &keep);
            if (written) keep.add(targets.cleaned[i], "the file written for another scan");
            const std::string text = messages.take();
            std::string exportError;
            const bool exported =
                !o.exportValues ||
                writeValueExport(*scan, tossThreshold, targets.exported[i], &exportError, &keep);
            if (o.exportValues && exported)
                keep.add(targets.exported[i], "the file written for another scan");
            if (!text.empty() || !exported) bar.clear();
            std::fputs(text.c_str(), console.err);
            if (!exported)
                std::fprintf(console.err, "Could not write %s: %s\n",
                             files::printableName(targets.exported[i]).c_str(),
                             exportError.c_str());
            rows[i].written = written ? targets.cleaned[i] : "FAILED";
            if (o.exportValues) rows[i].exported = exported ? targets.exported[i] : "FAILED";
            failedFiles += (written ? 0 : 1) + (exported ? 0 : 1);
        }
        bar.show("Writing", static_cast<std::int64_t>(n), static_cast<std::int64_t>(n));
        bar.clear();
    }
    if (!o.histogramFile.empty() || !o.plotFile.empty()) {
        std::vector<ScanValuesRef> refs;
        for (std::size_t i = 0; i < n; ++i)
            refs.push_back({m.scans[i].path, &values[i], values[i].size()});
        const ScanHistogram h = histogramOfValues(refs, o.bins);
        if (!o.histogramFile.empty() && !writeTextFile(o.histogramFile, histogramCsv(h), &error)) {
            std::fprintf(console.err, "Could not write %s: %s\n", o.histogramFile.c_str(),
                         error.c_str());
            ++failedFiles;
        }
        if (!o.plotFile.empty()) {
            PlotOptions plot;
            const std::size_t slash = o.config.rfind('/');
            plot.title = "Distances to the other scans: " +
                         (slash == std::string::npos ? o.config : o.config.substr(slash + 1));
            plot.threshold = tossThreshold;
            plot.logCounts = o.plotLog;
            RgbImage picture;
            if (!drawHistogramPlot(h, plot, &picture, &error) ||
                writePng(picture, o.plotFile, false, &error) != PngWrite::Written) {
                std::fprintf(console.err, "Could not write %s: %s\n", o.plotFile.c_str(),
                             error.c_str());
                ++failedFiles;
            }
        }
    }
    if (o.verbosity != Verbosity::Quiet) {
        std::vector<float> all;
        for (const std::vector<float>& v : values) {
            const std::vector<float> measured = measuredValues(v, v.size());
            all.insert(all.end(), measured.begin(), measured.end());
        }
        std::fputs(thresholdLine(o, tossThreshold, m.defaultThreshold).c_str(), console.out);
        std::fputs(
            formatReportTable(rows, o.exportValues && writing, summarizeDistances(std::move(all)))
                .c_str(),
            console.out);
    }
    if (failedFiles == 0) return kSuccess;
    const int files = (writing ? static_cast<int>(n) * (o.exportValues ? 2 : 1) : 0) +
                      static_cast<int>(checked.reports.size());
    say(std::to_string(failedFiles) + " of " + std::to_string(files) +
        " files could not be written (named above)");
    return kWriteFailed;
}

}  // namespace

CleanStatus gatherAndWrite(const CleanOptions& options, const std::string& workDir,
                           const CleanConsole& console) {
    try {
        return gatherInner(options, workDir, console);
    } catch (const std::bad_alloc&) {
        std::fprintf(console.err, "%s: out of memory\n", kCleanProgram);
    } catch (const std::exception& e) {
        std::fprintf(console.err, "%s: %s\n", kCleanProgram, e.what());
    }
    return kUnreadable;
}

CleanStatus runCleanInSlabs(const CleanOptions& o, const std::string& workRoot,
                            std::uint64_t memoryBytes, const SlabPlan& given) {
    std::string root = workRoot.empty() ? "/tmp" : workRoot;
    if (const char* tmp = std::getenv("TMPDIR"); workRoot.empty() && tmp != nullptr && *tmp)
        root = tmp;
    std::string folder = root + "/rangeloom-clean.XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) {
        const int why = errno;
        printCleanError("cannot make a work folder in " + files::printableName(root) + ": " +
                        std::strerror(why));
        return writeStatus(why);
    }
    // The work folder goes at the end, also on failure.
    // A signal removes it too: every name a finished file of it can have is
    // tracked (files being written are tracked by their writers).
    struct RemoveAtEnd {
        std::string folder;
        std::vector<files::TrackedFile*> tracked;
        ~RemoveAtEnd() {
            clearWorkFiles(folder);
            rmdir(folder.c_str());
            for (files::TrackedFile* t : tracked) files::untrackTemporaryFile(t);
        }
    } removeAtEnd{folder, {}};
    removeAtEnd.tracked.push_back(files::trackTemporaryFile(folder));
    removeAtEnd.tracked.push_back(files::trackTemporaryFile(slab::manifestPath(folder)));
    for (int s = 0; s < kMostSlabs; ++s) {
        removeAtEnd.tracked.push_back(files::trackTemporaryFile(slab::slabPath(folder, s)));
        removeAtEnd.tracked.push_back(files::trackTemporaryFile(slab::valuesPath(folder, s)));
    }
    const int threads = o.threads > 0 ? o.threads : workerThreads();
    SlabPlan plan = given;
    // Slabs analysed side by side share the limit, after the values of all
    // points (4 bytes each) that the gathering holds.
    if (plan.slabCells <= 0 && plan.slabBytes == 0) plan.slabBytes = memoryBytes / 2;
    ProgressBar bar(stderr, isatty(2) != 0 && o.verbosity != Verbosity::Quiet);
    const SlabOutcome parts = partitionCampaignReporting(
        o, folder, plan, threads, [&](const char* phase, std::int64_t done, std::int64_t all) {
            bar.show(phase, done, all);
        });
    bar.clear();
    std::fputs(parts.message.c_str(), stderr);
    if (parts.status == kNoRoom)
        printCleanError("the work folder ran out of room: its spill is removed, nothing written");
    if (parts.status != kSuccess) return parts.status;
    for (int s = 0; s < parts.slabs; ++s) {
        bar.show("Measuring slabs", s, parts.slabs);
        const SlabOutcome done = analyseSlab(folder, s, threads);
        if (done.status != kSuccess) {
            bar.clear();
            std::fputs(done.message.c_str(), stderr);
            if (done.status == kNoRoom)
                printCleanError(
                    "the work folder ran out of room: its spill is removed, nothing written");
            return done.status;
        }
    }
    bar.clear();
    CleanConsole console;
    console.progress = isatty(2) != 0 && o.verbosity != Verbosity::Quiet;
    return gatherAndWrite(o, folder, console);
}

std::uint64_t defaultMemoryLimit() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    const std::uint64_t physical =
        pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : (4ull << 30);
    std::uint64_t available = physical;
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char label[64];
        unsigned long long kb;
        while (std::fscanf(f, "%63s %llu kB", label, &kb) == 2)
            if (std::strcmp(label, "MemAvailable:") == 0) available = kb * 1024ull;
        std::fclose(f);
    }
    return std::min(physical / 2, available / 5 * 4);
}

const char* optionNeedingMemory(const CleanOptions& o) {
    if (o.registerFirst) return "--register";
    if (!o.mergeFile.empty()) return "--merge";
    if (o.verbosity == Verbosity::Verbose) return "--verbose";
    return nullptr;
}

CleanStatus runCleanWithinMemory(const CleanOptions& o) {
    const bool inMemoryOnly =
        optionNeedingMemory(o) != nullptr || formats::isStructuredScanFile(o.config);
    if (inMemoryOnly) return runClean(o);
    const std::uint64_t memory = o.memoryBytes > 0 ? o.memoryBytes : defaultMemoryLimit();
    SlabPlan plan;
    plan.slabCells = o.slabCells;
    if (o.slabCells <= 0) {
        // The lean in-memory run holds about four times the bytes of a
        // binary range image per point (50-70 bytes against 17).
        std::string error;
        if (!checkConfiguration(o.config, &error)) return runClean(o);
        const ScanConfigRecords records = readScanRecords(o.config);
        std::uint64_t bytes = 0;
        for (const ScanRecord& r : records.records) {
            std::uint64_t size = 0;
            std::int64_t mtime;
            if (statFile(r.path, &size, &mtime)) bytes += size;
        }
        if (bytes * 4 <= memory) return runClean(o);
    }
    return runCleanInSlabs(o, o.workDir, memory, plan);
}
