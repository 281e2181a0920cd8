// The compiled part of the Python package rangeloom (rangeloom/_rangeloom):
// ScanSet and Scan with numpy views of the scans' own storage, the analysis
// and cleaning with the GIL released, the slab steps of an out-of-core clean,
// and BindingError raised as the package's
// exceptions (rangeloom/_errors.py).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "python/scan_set.h"
#include "python/slab_steps.h"
#include "version/version.h"

namespace py = pybind11;

namespace {

static_assert(sizeof(Point3) == 3 * sizeof(float) && sizeof(Vec3) == 3 * sizeof(float),
              "positions and normals are read by numpy as rows of three floats");

// A read-only numpy view of rows of three floats that keeps `owner` (the
// Python object of the scan whose storage it is) alive.
template <typename T>
py::array rowsOfThree(const std::vector<T>& rows, const py::object& owner) {
    const auto n = static_cast<py::ssize_t>(rows.size());
    py::array_t<float> view({n, py::ssize_t(3)},
                            {py::ssize_t(sizeof(T)), py::ssize_t(sizeof(float))},
                            reinterpret_cast<const float*>(rows.data()), owner);
    py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return std::move(view);
}

py::array valuesOf(const PlyMesh& scan) {
    py::array_t<float> values(static_cast<py::ssize_t>(scan.worldVertices.size()));
    float* out = values.mutable_data();
    const py::gil_scoped_release release;  // an analysis on another thread may hold the lock
    valuesWithNan(scan, out);
    return std::move(values);
}

py::object rasterOf(const py::object& self) {
    const PlyMesh& s = self.cast<const PlyMesh&>();
    const auto rows = static_cast<py::ssize_t>(s.gridRows);
    const auto cols = static_cast<py::ssize_t>(s.gridCols);
    if (!s.isRangeGrid || rows <= 0 || cols <= 0 ||
        static_cast<std::size_t>(rows * cols) != s.gridIndex.size())
        return py::none();
    py::array_t<int32_t> view({rows, cols},
                              {py::ssize_t(cols * sizeof(int32_t)), py::ssize_t(sizeof(int32_t))},
                              s.gridIndex.data(), self);
    py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return std::move(view);
}

py::array poseOf(const PlyMesh& s) {
    py::array_t<float> pose({4, 4});
    auto m = pose.mutable_unchecked<2>();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m(r, c) = s.worldPose(r, c);
    return std::move(pose);
}

std::string pathText(const std::filesystem::path& p) {
    return p.string();
}

std::optional<std::string> pathText(const std::optional<std::filesystem::path>& p) {
    if (!p) return std::nullopt;
    return p->string();
}

// Raises the package's exception for the command line's exit status.
void raise(const BindingError& e) {
    const char* kind = e.status() == kBadUsage     ? "UsageError"
                       : e.status() == kUnreadable ? "UnreadableError"
                       : e.status() == kNoRoom     ? "NoRoomError"
                                                   : "WriteError";
    const py::object type = py::module_::import("rangeloom._errors").attr(kind);
    PyErr_SetObject(type.ptr(), type(e.what()).ptr());
}

py::dict rowOf(const ScanReport& row) {
    py::dict d;
    d["file"] = row.file;
    d["points"] = row.points;
    d["measured"] = row.measured;
    d["tossed"] = row.tossed;
    const auto orNone = [](bool known, py::object value) {
        return known ? std::move(value) : py::object(py::none());
    };
    d["median"] = orNone(row.distances.known, py::float_(row.distances.median));
    d["p95"] = orNone(row.distances.known, py::float_(row.distances.p95));
    d["written"] = orNone(row.written != "-", py::str(row.written));
    d["exported"] = orNone(!row.exported.empty() && row.exported != "-", py::str(row.exported));
    return d;
}

// A step's end as (status, message, warnings, slabs, reused, text); the
// package raises from it (rangeloom/slabs.py), so that the text of a gather
// that failed to write a file still reaches the caller.
py::tuple stepTuple(const SlabStepResult& r) {
    return py::make_tuple(static_cast<int>(r.status), r.message, r.warnings, r.slabs, r.reused,
                          r.text);
}

std::vector<std::string> words(const std::vector<std::filesystem::path>& args) {
    std::vector<std::string> out;
    for (const std::filesystem::path& a : args) out.push_back(a.string());
    return out;
}

void defineSlabSteps(py::module_& m) {
    m.def(
        "_partition",
        [](const std::vector<std::filesystem::path>& args, const std::filesystem::path& workDir,
           std::uint64_t slabBytes, long long slabCells) {
            const std::vector<std::string> a = words(args);
            const std::string work = pathText(workDir);
            SlabStepResult r;
            {
                const py::gil_scoped_release release;
                r = partitionStep(a, work, slabBytes, slabCells);
            }
            return stepTuple(r);
        },
        py::arg("args"), py::arg("work_dir"), py::arg("slab_bytes"), py::arg("slab_cells"));
    m.def(
        "_analyse_slab",
        [](const std::filesystem::path& workDir, long long slab, long long threads) {
            const std::string work = pathText(workDir);
            SlabStepResult r;
            {
                const py::gil_scoped_release release;
                r = analyseSlabStep(work, slab, threads);
            }
            return stepTuple(r);
        },
        py::arg("work_dir"), py::arg("slab"), py::arg("threads"));
    m.def(
        "_gather",
        [](const std::vector<std::filesystem::path>& args, const std::filesystem::path& workDir) {
            const std::vector<std::string> a = words(args);
            const std::string work = pathText(workDir);
            SlabStepResult r;
            {
                const py::gil_scoped_release release;
                r = gatherStep(a, work);
            }
            return stepTuple(r);
        },
        py::arg("args"), py::arg("work_dir"));
}

}  // namespace

PYBIND11_MODULE(_rangeloom, m) {
    m.doc() = "The compiled part of rangeloom; use the package rangeloom.";
    m.attr("__version__") = RANGELOOM_VERSION;
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const BindingError& e) {
            raise(e);
        }
    });

    py::class_<PlyMesh, std::shared_ptr<PlyMesh>>(m, "Scan", R"(One scan of a ScanSet.

Its arrays are read-only views of the scan's own storage (no copy), valid as
long as any of them or the scan is referenced.)")
        .def_property_readonly("label", &PlyMesh::label,
                               "How reports name the scan: its file, '#N' added for scan N of a "
                               "PTX or E57 file.")
        .def_property_readonly(
            "path", [](const PlyMesh& s) { return s.fileName; }, "The file the scan was read from.")
        .def_property_readonly("scan_number", &PlyMesh::scanNumber,
                               "N for scan N of a PTX or E57 file (from 1), 0 for a PLY file.")
        .def_property_readonly(
            "points",
            [](const py::object& self) {
                return rowsOfThree(self.cast<const PlyMesh&>().vertices, self);
            },
            "float32 (n, 3): the points in the scanner's frame, in file order.")
        .def_property_readonly(
            "world_points",
            [](const py::object& self) {
                return rowsOfThree(self.cast<const PlyMesh&>().worldVertices, self);
            },
            "float32 (n, 3): the points placed by the pose, as the analysis measures them.")
        .def_property_readonly(
            "normals",
            [](const py::object& self) {
                return rowsOfThree(self.cast<const PlyMesh&>().vertexNormals, self);
            },
            "float32 (n, 3): unit normals of the triangulation, placed by the pose (0 0 0 for a "
            "point in no triangle).")
        .def_property_readonly("raster", &rasterOf,
                               "int32 (rows, columns): the point index of each raster cell, -1 "
                               "for an empty cell; row 0 is the top row as the scanner saw it. "
                               "None for a scan without a raster.")
        .def_property_readonly("pose", &poseOf,
                               "float32 (4, 4): world = pose[:3, :3] @ point + pose[:3, 3] (a "
                               "copy).")
        .def_property_readonly("values", &valuesOf,
                               "float32 (n,): the distance of each point to the other scans, NaN "
                               "where it was not measured or not yet analysed (a copy).")
        .def("__len__", [](const PlyMesh& s) { return s.worldVertices.size(); })
        .def("__repr__", [](const PlyMesh& s) {
            return "<rangeloom.Scan " + s.label() + ": " + std::to_string(s.worldVertices.size()) +
                   " points>";
        });

    py::class_<ScanSet, std::shared_ptr<ScanSet>>(m, "ScanSet", R"(The scans of one input.)")
        .def_property_readonly("source", &ScanSet::source, "The file the scans were loaded from.")
        .def_property_readonly("default_threshold", &ScanSet::defaultThreshold,
                               "The viewer's default removal threshold for these scans.")
        .def_property_readonly("transcript", &ScanSet::transcript,
                               "The loaders' report, as rangeloom-clean --verbose prints it.")
        .def_property_readonly("analyzed", &ScanSet::analyzed)
        .def_property_readonly("warnings", &ScanSet::warnings,
                               "What rangeloom-clean warns of after loading these scans.")
        .def("__len__", &ScanSet::size)
        .def("__getitem__",
             [](const ScanSet& s, py::ssize_t i) {
                 const auto n = static_cast<py::ssize_t>(s.size());
                 if (i < 0) i += n;
                 if (i < 0 || i >= n) throw py::index_error("scan index out of range");
                 return s.scan(static_cast<std::size_t>(i));
             })
        .def(
            "_analyze",
            [](ScanSet& s, long long threads) {
                std::string warning;
                {
                    const py::gil_scoped_release release;
                    warning = s.analyze(threads);
                }
                py::list values;
                for (std::size_t i = 0; i < s.size(); ++i) values.append(valuesOf(*s.scan(i)));
                return py::make_tuple(values, warning);
            },
            py::arg("threads"))
        .def(
            "_clean",
            [](ScanSet& s, std::optional<double> threshold, std::optional<long long> steps,
               const std::optional<std::filesystem::path>& out, bool exportValues,
               const std::optional<std::filesystem::path>& merge, bool keepTossed, bool summary,
               const std::optional<std::filesystem::path>& histogram,
               const std::optional<std::filesystem::path>& plot, std::optional<long long> bins,
               bool plotLog, long long threads) {
                CleanRequest r;
                r.threshold = threshold;
                r.steps = steps;
                r.out = pathText(out);
                r.exportValues = exportValues;
                r.merge = pathText(merge);
                r.keepTossed = keepTossed;
                r.summaryOnly = summary;
                r.histogram = pathText(histogram);
                r.plot = pathText(plot);
                r.bins = bins;
                r.plotLog = plotLog;
                r.threads = threads;
                CleanResult result;
                {
                    const py::gil_scoped_release release;
                    result = s.clean(r);
                }
                py::list rows;
                for (const ScanReport& row : result.rows) rows.append(rowOf(row));
                return py::make_tuple(result.threshold, rows, result.text, result.warnings);
            },
            py::arg("threshold"), py::arg("steps"), py::arg("out"), py::arg("export"),
            py::arg("merge"), py::arg("keep_tossed"), py::arg("summary"), py::arg("histogram"),
            py::arg("plot"), py::arg("bins"), py::arg("plot_log"), py::arg("threads"));

    defineSlabSteps(m);

    m.def(
        "_load",
        [](const std::filesystem::path& path, long long threads) {
            const std::string text = pathText(path);
            const py::gil_scoped_release release;
            return ScanSet::load(text, threads);
        },
        py::arg("path"), py::arg("threads"));
}
