// scan_fixture: the scans of a configuration of PLY range images (such as
// rangeloom-sample's) written as one PTX file and one E57 file, for the
// tests that compare a scan in its three forms.
//
//   scan_fixture CONF OUT_STEM     writes OUT_STEM.ptx and OUT_STEM.e57
//
// Points stay in the scanner's frame, exactly as floats. The PTX transform
// is the configuration quaternion's matrix as Quaternion::toMatrix makes it,
// element for element (printed exactly), transposed into PTX's row-vector
// layout; the E57 pose is the configuration's quaternion conjugated (a
// configuration's matrix is the usual one of the conjugate). Raster cells:
// PTX lists each column from its bottom row up; E57 gives rowIndex and
// columnIndex as the range_grid has them and every empty cell as a record
// with cartesianInvalidState 2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e57_test_writer.h"
#include "libply/plyfile.h"
#include "math/quaternion.h"

namespace {

struct RangeImage {
    std::string name;
    float pose[7];  // tx ty tz qx qy qz qw, as the configuration reader takes them
    int cols = 0, rows = 0;
    std::vector<float> xyz;
    std::vector<int> grid;  // row-major, -1 for empty
};

struct Vertex {
    float x, y, z;
};
struct Cell {
    unsigned char count;
    int* indices;
};

bool readRangeImage(const std::string& path, RangeImage* image) {
    int count = 0, fileType = 0;
    char** names = nullptr;
    float version = 0;
    ply_handle* ply = ply_open_read(path.c_str(), &count, &names, &fileType, &version);
    if (ply == nullptr) return false;
    int infos = 0;
    char** info = ply_obj_infos(ply, &infos);
    for (int i = 0; i < infos; ++i) {
        std::sscanf(info[i], "num_cols %d", &image->cols);
        std::sscanf(info[i], "num_rows %d", &image->rows);
    }
    for (int e = 0; e < count; ++e) {
        int instances = 0, properties = 0;
        ply_free_properties(properties,
                            ply_element_properties(ply, names[e], &instances, &properties));
        if (std::strcmp(names[e], "vertex") == 0) {
            const char* axes[3] = {"x", "y", "z"};
            for (int a = 0; a < 3; ++a) {
                ply_property_def p{axes[a], PLY_FLOAT, PLY_FLOAT, int(a * sizeof(float)),
                                   0,       0,         0,         0};
                ply_select_property(ply, names[e], &p);
            }
            for (int i = 0; i < instances; ++i) {
                Vertex v{};
                ply_get_element(ply, &v);
                image->xyz.insert(image->xyz.end(), {v.x, v.y, v.z});
            }
        } else if (std::strcmp(names[e], "range_grid") == 0) {
            ply_property_def p{"vertex_indices",
                               PLY_INT,
                               PLY_INT,
                               int(offsetof(Cell, indices)),
                               1,
                               PLY_UCHAR,
                               PLY_UCHAR,
                               int(offsetof(Cell, count))};
            ply_select_property(ply, names[e], &p);
            for (int i = 0; i < instances; ++i) {
                Cell c{0, nullptr};
                ply_get_element(ply, &c);
                image->grid.push_back(c.count > 0 ? c.indices[0] : -1);
                std::free(c.indices);
            }
        }
    }
    ply_close_file(ply);
    ply_free_element_list(count, names);
    return image->cols * image->rows == static_cast<int>(image->grid.size());
}

std::vector<RangeImage> readConfiguration(const std::string& conf) {
    std::vector<RangeImage> images;
    std::ifstream in(conf);
    const std::string folder = conf.substr(0, conf.rfind('/') + 1);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, name;
        words >> keyword >> name;
        if (keyword != "bmesh") continue;
        RangeImage image;
        image.name = name;
        for (float& v : image.pose) {
            std::string w;
            words >> w;
            v = std::strtof(w.c_str(), nullptr);
        }
        if (!readRangeImage(folder + name, &image)) {
            std::fprintf(stderr, "scan_fixture: cannot read %s%s\n", folder.c_str(), name.c_str());
            std::exit(1);
        }
        images.push_back(std::move(image));
    }
    return images;
}

void writePtx(const std::vector<RangeImage>& images, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    for (const RangeImage& s : images) {
        const Matrix4 m = Quaternion(s.pose[3], s.pose[4], s.pose[5], s.pose[6]).toMatrix();
        std::fprintf(f, "%d\n%d\n%.9g %.9g %.9g\n", s.cols, s.rows, s.pose[0], s.pose[1],
                     s.pose[2]);
        for (int c = 0; c < 3; ++c) std::fprintf(f, "%.9g %.9g %.9g\n", m(0, c), m(1, c), m(2, c));
        for (int c = 0; c < 3; ++c)
            std::fprintf(f, "%.9g %.9g %.9g 0\n", m(0, c), m(1, c), m(2, c));
        std::fprintf(f, "%.9g %.9g %.9g 1\n", s.pose[0], s.pose[1], s.pose[2]);
        for (int c = 0; c < s.cols; ++c)
            for (int r = s.rows - 1; r >= 0; --r) {
                const int k = s.grid[static_cast<std::size_t>(r) * s.cols + c];
                if (k < 0)
                    std::fputs("0 0 0 0.5\n", f);
                else
                    std::fprintf(f, "%.9g %.9g %.9g 0.5\n", s.xyz[3 * k], s.xyz[3 * k + 1],
                                 s.xyz[3 * k + 2]);
            }
    }
    if (std::fclose(f) != 0) std::exit(1);
}

void writeE57File(const std::vector<RangeImage>& images, const std::string& path) {
    std::vector<e57test::Scan> scans;
    for (const RangeImage& s : images) {
        e57test::Scan e;
        e.name = s.name.substr(0, s.name.rfind('.'));
        const double rotation[4] = {s.pose[6], -double(s.pose[3]), -double(s.pose[4]),
                                    -double(s.pose[5])};
        for (int k = 0; k < 4; ++k) e.rotation[k] = rotation[k];
        for (int k = 0; k < 3; ++k) e.translation[k] = s.pose[k];
        e.rowMaximum = s.rows - 1;
        e.columnMaximum = s.cols - 1;
        const char* names[6] = {"cartesianX", "cartesianY", "cartesianZ", "cartesianInvalidState",
                                "rowIndex",   "columnIndex"};
        for (int k = 0; k < 6; ++k) {
            e57test::Field f;
            f.name = names[k];
            f.type = k < 3 ? e57test::Field::FloatSingle : e57test::Field::Integer;
            f.maximum = k == 3 ? 2 : (k == 4 ? s.rows - 1 : s.cols - 1);
            e.fields.push_back(f);
        }
        for (int r = 0; r < s.rows; ++r)
            for (int c = 0; c < s.cols; ++c) {
                const int k = s.grid[static_cast<std::size_t>(r) * s.cols + c];
                for (int a = 0; a < 3; ++a)
                    e.fields[a].values.push_back(k < 0 ? 0.0 : s.xyz[3 * k + a]);
                e.fields[3].values.push_back(k < 0 ? 2 : 0);
                e.fields[4].values.push_back(r);
                e.fields[5].values.push_back(c);
            }
        scans.push_back(std::move(e));
    }
    e57test::Layout layout;
    layout.maxBufferBytes = 4000;
    layout.starvedFields = false;
    const std::string bytes = e57test::writeE57(scans, layout);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0)
        std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scan_fixture CONF OUT_STEM\n");
        return 1;
    }
    const std::vector<RangeImage> images = readConfiguration(argv[1]);
    if (images.empty()) {
        std::fprintf(stderr, "scan_fixture: no bmesh records in %s\n", argv[1]);
        return 1;
    }
    writePtx(images, std::string(argv[2]) + ".ptx");
    writeE57File(images, std::string(argv[2]) + ".e57");
    return 0;
}
