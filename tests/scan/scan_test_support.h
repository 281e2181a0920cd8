// Shared set-up of the range-scan tests: a fresh temporary folder, the
// process-wide scene state reset before and after each test, and small PLY
// files written from text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/ply_mesh.h"
#include "scan/scan_config.h"
#include "scene/scene_state.h"
#include "test_support.h"

class ScanTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testing_support::makeTempDir("scan");
        resetScene();
    }
    void TearDown() override { resetScene(); }

    static void resetScene() { resetSceneState(); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        testing_support::writeFile(path(name), text);
        return path(name);
    }

    std::string dir_;
};

using testing_support::stdoutOf;

// PlyMesh::load's mesh, handed to the caller (null when the file was not
// read); *status, when given, says how the load ended.
inline PlyMesh* loadPly(int id, const std::string& path, bool alone = false,
                        LoadStatus* status = nullptr) {
    PlyLoadOptions options;
    options.alone = alone;
    Loaded<PlyMesh> loaded = PlyMesh::load(id, path, options);
    if (status != nullptr) *status = loaded.status;
    return loaded.mesh.release();
}

// readScanConfig, then the scans added to the scene as the viewer adds them.
inline ScanConfigLoad readIntoScene(const std::string& config) {
    ScanConfigLoad load = readScanConfig(config);
    addScansToScene(load);
    return load;
}

// An ASCII range image: obj_info raster size, vertices x y z, and one
// range_grid line per cell ("0" or "1 k").
inline std::string rangeImage(int cols, int rows, const std::vector<std::vector<float>>& points,
                              const std::vector<int>& grid) {
    std::string t = "ply\nformat ascii 1.0\ncomment test raster\n";
    t += "obj_info num_cols " + std::to_string(cols) + "\nobj_info num_rows " +
         std::to_string(rows) + "\n";
    t += "element vertex " + std::to_string(points.size()) +
         "\nproperty float x\nproperty float y\nproperty float z\n";
    t += "element range_grid " + std::to_string(grid.size()) +
         "\nproperty list uchar int vertex_indices\nend_header\n";
    char line[96];
    for (const auto& p : points) {
        std::snprintf(line, sizeof line, "%g %g %g\n", p[0], p[1], p[2]);
        t += line;
    }
    for (int g : grid) t += g < 0 ? std::string("0\n") : "1 " + std::to_string(g) + "\n";
    return t;
}
