// PTX and E57 files loaded straight into scans: the same meshes and values,
// bit for bit, as their PLY form; the file's pose before the record's; a
// damaged file, an unplaceable scan and an unstructured scan.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "e57_test_writer.h"
#include "scan/overlap_analysis.h"
#include "scan_test_support.h"

namespace {

// Everything of a loaded and analysed scan that the analysis, the drawing
// and the writers read.
struct ScanData {
    std::vector<Point3> vertices, world;
    std::vector<Vec3> normals;
    std::vector<int32_t> raster, corners;
    std::vector<float> values;
    int rows = 0, cols = 0;
    std::size_t edges = 0;
};

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

ScanData dataOf(const Mesh& m) {
    ScanData d{m.vertices,     m.worldVertices, m.vertexNormals, m.gridIndex,   {},
               m.vertexValues, m.gridRows,      m.gridCols,      m.edges.size()};
    for (const Face& f : m.faces)
        d.corners.insert(d.corners.end(), f.vertexIndices.begin(), f.vertexIndices.end());
    return d;
}

// A PTX scan of cols x rows points on the plane z = 0 with spacing 0.0005
// from (0.001, 0),
// the cells listed in `empty` without a return, placed by the 4x4 matrix
// (row-vector layout, translation in the last row).
std::string ptxScan(int cols, int rows, const std::string& matrix, std::vector<int> empty = {}) {
    std::string t = std::to_string(cols) + "\n" + std::to_string(rows) +
                    "\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n" + matrix;
    char line[96];
    for (int k = 0; k < cols * rows; ++k) {
        const bool none = std::find(empty.begin(), empty.end(), k) != empty.end();
        const int column = k / rows, rowFromBottom = k % rows;
        std::snprintf(line, sizeof line, "%g %g %g 0.5\n", none ? 0.0 : 0.001 + 0.0005 * column,
                      none ? 0.0 : 0.0005 * rowFromBottom, 0.0);
        t += line;
    }
    return t;
}

e57test::Field field(const char* name, e57test::Field::Type type = e57test::Field::FloatDouble,
                     int64_t maximum = 0) {
    e57test::Field f;
    f.name = name;
    f.type = type;
    f.maximum = maximum;
    return f;
}

const char kIdentity[] = "1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";

class ScanFileLoading : public ScanTest {
protected:
    // Loads the configuration (or lone scan file) and analyses it.
    std::vector<ScanData> loadAndAnalyse(const std::string& input, float* threshold) {
        resetScene();
        std::vector<ScanData> out;
        stdoutOf([&] {
            ScanConfigLoad load =
                formatsInput(input) ? readScanFileAsConfig(input) : readScanConfig(input);
            EXPECT_TRUE(load.failures.empty()) << input;
            addScansToScene(load);
            analyzeOverlap(sceneList, nullptr);
        });
        for (const Mesh* m : sceneList) out.push_back(dataOf(*m));
        *threshold = tossThreshold;
        return out;
    }
    static bool formatsInput(const std::string& name) {
        return name.size() > 4 && name.compare(name.size() - 4, 4, ".ply") != 0 &&
               name.compare(name.size() - 5, 5, ".conf") != 0;
    }
};

}  // namespace

// The sample set as PLY range images, as one PTX file and as one E57 file
// (scan_fixture), loaded directly (and the E57 file named in a
// configuration): identical vertices, rasters, triangles, normals, edges,
// world positions, values and threshold, bit for bit.
TEST_F(ScanFileLoading, SampleSetInPlyPtxAndE57FormsLoadsAndAnalysesIdentically) {
    const std::string make = std::string(RANGELOOM_SAMPLE_TOOL) + " --out " + dir_ +
                             " --scans 4 --cols 48 --rows 48 >/dev/null && " + SCAN_FIXTURE_TOOL +
                             " " + path("sample.conf") + " " + path("fx");
    ASSERT_EQ(std::system(make.c_str()), 0);
    write("named.conf", "bmesh fx.e57 0 0 0 0 0 0 1\n");
    float reference = 0.0f;
    const std::vector<ScanData> ply = loadAndAnalyse(path("sample.conf"), &reference);
    ASSERT_EQ(ply.size(), 4u);
    for (const std::string form : {"fx.ptx", "fx.e57", "named.conf"}) {
        float threshold = 0.0f;
        const std::vector<ScanData> other = loadAndAnalyse(path(form), &threshold);
        EXPECT_EQ(threshold, reference) << form;
        ASSERT_EQ(other.size(), ply.size()) << form;
        for (std::size_t s = 0; s < ply.size(); ++s) {
            const ScanData& a = ply[s];
            const ScanData& b = other[s];
            EXPECT_TRUE(sameBits(a.vertices, b.vertices)) << form << " scan " << s;
            EXPECT_TRUE(a.raster == b.raster && a.rows == b.rows && a.cols == b.cols) << form;
            EXPECT_EQ(a.corners, b.corners) << form << " scan " << s;
            EXPECT_EQ(a.edges, b.edges) << form << " scan " << s;
            EXPECT_TRUE(sameBits(a.world, b.world)) << form << " scan " << s;
            EXPECT_TRUE(sameBits(a.normals, b.normals)) << form << " scan " << s;
            EXPECT_TRUE(sameBits(a.values, b.values)) << form << " scan " << s;
        }
    }
}

// The record's pose acts after the file's: a point p of a scan the file
// moves by (1, 0, 0) lands at R (p + (1, 0, 0)) + t for the record's R and t.
// The cleaned file's comment gives the two as one record.
TEST_F(ScanFileLoading, RecordPoseActsAfterTheFilesPose) {
    write("moved.ptx", ptxScan(2, 2, "1 0 0 0\n0 1 0 0\n0 0 1 0\n1 0 0 1\n"));
    // Half a turn about z: (x, y, z) -> (-x, -y, z).
    write("set.conf", "bmesh moved.ptx 0 0 5 0 0 1 0\n");
    ScanConfigLoad load;
    stdoutOf([&] { load = readScanConfig(path("set.conf")); });
    ASSERT_EQ(load.scans.size(), 1u);
    const PlyMesh& scan = *load.scans[0].mesh;
    ASSERT_EQ(scan.worldVertices.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const Point3& p = scan.vertices[i];
        EXPECT_NEAR(scan.worldVertices[i].x, -(p.x + 1.0f), 1e-6) << i;
        EXPECT_NEAR(scan.worldVertices[i].y, -p.y, 1e-6) << i;
        EXPECT_NEAR(scan.worldVertices[i].z, 5.0f, 1e-6) << i;
    }
    EXPECT_EQ(scan.comments().back(), "placed by the bmesh record fields -1 0 5 0 0 1 0");
}

// A file damaged in its second scan keeps its first, names the failure and
// lets the later records load; ids count every scan; the outputs are named
// as the converter names the scans.
TEST_F(ScanFileLoading, DamagedFileKeepsTheScansBeforeItAndTheReadingGoesOn) {
    const std::string second = ptxScan(2, 2, kIdentity);
    write("two.ptx", ptxScan(2, 2, kIdentity, {3}) + second.substr(0, second.size() - 20));
    write("good.ply", rangeImage(2, 1, {{0, 0, 0}, {0.0005f, 0, 0}}, {0, 1}));
    write("set.conf",
          "bmesh two.ptx 0 0 0 0 0 0 1\nbmesh missing.e57 0 0 0 0 0 0 1\n"
          "bmesh good.ply 0 0 0 0 0 0 1\n");
    ScanConfigLoad load;
    const std::string transcript = stdoutOf([&] { load = readScanConfig(path("set.conf")); });
    ASSERT_EQ(load.scans.size(), 2u);
    ASSERT_EQ(load.failures.size(), 2u);
    EXPECT_EQ(load.failures[0].status.failure, LoadFailure::ScanFileDamaged);
    EXPECT_EQ(load.failures[0].status.reason.rfind("scan 2, line ", 0), 0u)
        << load.failures[0].status.reason;
    EXPECT_EQ(load.failures[1].status.failure, LoadFailure::CannotOpen);
    EXPECT_EQ(load.damaged(), nullptr);

    const PlyMesh& first = *load.scans[0].mesh;
    EXPECT_EQ(first.vertexCount(), 3);
    EXPECT_EQ(first.gridIndex, (std::vector<int32_t>{0, -1, 1, 2}));
    EXPECT_EQ(first.label(), path("two.ptx") + "#1");
    EXPECT_EQ(PlyMesh::cleanedName(first.outputSource()), path("two-01.cln.ply"));
    EXPECT_EQ(first.getId(), 1);
    EXPECT_EQ(load.scans[1].mesh->getId(), 4);  // two.ptx's failure and missing.e57 took 2, 3
    EXPECT_EQ(nextScanId, 5);
    EXPECT_NE(transcript.find("Adding scan 1 of " + path("two.ptx") + "\nCould not read " +
                              path("two.ptx") + ": scan 2, line "),
              std::string::npos)
        << transcript;
}

// A transform that scales cannot be a pose: the scan is left out, named.
TEST_F(ScanFileLoading, ScanWhoseTransformIsNotRigidIsLeftOut) {
    write("scaled.ptx",
          ptxScan(2, 2, "2 0 0 0\n0 2 0 0\n0 0 2 0\n0 0 0 1\n") + ptxScan(2, 2, kIdentity));
    ScanConfigLoad load;
    stdoutOf([&] { load = readScanFileAsConfig(path("scaled.ptx")); });
    ASSERT_EQ(load.scans.size(), 1u);
    EXPECT_EQ(load.scans[0].mesh->scanNumber(), 2u);
    ASSERT_EQ(load.failures.size(), 1u);
    EXPECT_EQ(load.failures[0].status.reason.rfind(
                  "scan 1: its transform is not a rotation and a translation", 0),
              0u);
}

// An E57 file with a structured plane and an unstructured scan of points
// just above it: the points have no polygons of their own and are measured
// against the plane's.
TEST_F(ScanFileLoading, UnstructuredScanIsPointsMeasuredAgainstTheOthers) {
    using e57test::Field;
    e57test::Scan plane, points;
    plane.rowMaximum = plane.columnMaximum = 3;
    Field x = field("cartesianX"), y = field("cartesianY"), z = field("cartesianZ");
    Field row = field("rowIndex", Field::Integer, 3),
          column = field("columnIndex", Field::Integer, 3);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            x.values.push_back(0.0005 * c);
            y.values.push_back(0.0005 * (3 - r));
            z.values.push_back(0.0);
            row.values.push_back(r);
            column.values.push_back(c);
        }
    }
    plane.fields = {x, y, z, row, column};
    Field px = field("cartesianX"), py = field("cartesianY"), pz = field("cartesianZ");
    for (double v : {0.0004, 0.0007, 0.0011}) {
        px.values.push_back(v);
        py.values.push_back(v);
        pz.values.push_back(0.0001);
    }
    points.name = "loose points";
    points.fields = {px, py, pz};
    testing_support::writeFile(path("site.e57"), e57test::writeE57({plane, points}, {}));

    std::string transcript;
    transcript = stdoutOf([&] {
        ScanConfigLoad load = readScanFileAsConfig(path("site.e57"));
        ASSERT_EQ(load.scans.size(), 2u);
        addScansToScene(load);
        analyzeOverlap(sceneList, nullptr);
    });
    ASSERT_EQ(sceneList.size(), 2u);
    const Mesh& loose = *sceneList[1];
    EXPECT_FALSE(loose.isRangeGrid);
    EXPECT_TRUE(loose.faces.empty());
    ASSERT_EQ(loose.vertexValues.size(), 3u);
    for (float v : loose.vertexValues) EXPECT_NEAR(v, 0.0001f, 1e-6f);
    EXPECT_NE(transcript.find("Reading coordinates from " + path("site.e57") +
                              ", scan 2 (loose points)\nformat E57\nno raster: 3 points"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("Adding unstructured scan 2 of " + path("site.e57")),
              std::string::npos);
}
