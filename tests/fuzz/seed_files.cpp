#include "seed_files.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "libply/plyfile.h"

namespace seeds {

namespace {

struct Vertex {
    float x, y, z;
    float confidence;
};
struct Cell {
    unsigned char count;  // 0 or 1
    int32_t* index;       // the cell's vertex
};
struct Polygon {
    unsigned char intensity;
    unsigned char count;
    int32_t* corners;
};
struct Camera {
    float fov;
};

ply_property_def scalar(const char* name, int type, std::size_t offset) {
    return ply_property_def{name, type, type, int(offset), PLY_SCALAR, 0, 0, 0};
}
ply_property_def list(const char* name, std::size_t offset, std::size_t countOffset) {
    return ply_property_def{name,     PLY_INT,   PLY_INT,   int(offset),
                            PLY_LIST, PLY_UCHAR, PLY_UCHAR, int(countOffset)};
}

// A write handle on a memory stream; finish() closes it and returns the bytes.
class MemoryFile {
public:
    MemoryFile(int fileType, const std::vector<const char*>& elements) {
        fp_ = open_memstream(&bytes_, &size_);
        ply_ = ply_begin_write(fp_, int(elements.size()), elements.data(), fileType);
    }
    ply_handle* ply() { return ply_; }
    std::string finish() {
        ply_close_file(ply_);  // closes the stream, which fills bytes_ and size_
        std::string out(bytes_, size_);
        std::free(bytes_);
        return out;
    }

private:
    char* bytes_ = nullptr;
    std::size_t size_ = 0;
    FILE* fp_ = nullptr;
    ply_handle* ply_ = nullptr;
};

void describeVertices(ply_handle* ply, int count, bool confidence) {
    const ply_property_def props[] = {
        scalar("x", PLY_FLOAT, offsetof(Vertex, x)),
        scalar("y", PLY_FLOAT, offsetof(Vertex, y)),
        scalar("z", PLY_FLOAT, offsetof(Vertex, z)),
        scalar("confidence", PLY_FLOAT, offsetof(Vertex, confidence)),
    };
    ply_describe_element(ply, "vertex", count, confidence ? 4 : 3, props);
}

void describeFaces(ply_handle* ply, int count, bool intensity) {
    const ply_property_def props[] = {
        scalar("intensity", PLY_UCHAR, offsetof(Polygon, intensity)),
        list("vertex_indices", offsetof(Polygon, corners), offsetof(Polygon, count)),
    };
    ply_describe_element(ply, "face", count, intensity ? 2 : 1, intensity ? props : props + 1);
}

void writeFaces(ply_handle* ply, const std::vector<std::vector<int32_t>>& faces) {
    ply_elements_setup(ply, "face");
    for (std::size_t f = 0; f < faces.size(); ++f) {
        std::vector<int32_t> corners = faces[f];
        Polygon p{static_cast<unsigned char>(f * 40), static_cast<unsigned char>(corners.size()),
                  corners.data()};
        ply_write_element(ply, &p);
    }
}

}  // namespace

std::string rangeImage(int fileType, const RangeImageShape& shape) {
    std::vector<const char*> names;
    if (shape.cameraFirst) names.push_back("camera");
    names.push_back("vertex");
    names.push_back("range_grid");
    if (shape.faces) names.push_back("face");
    MemoryFile file(fileType, names);
    ply_handle* ply = file.ply();

    // Points on the plane z = 0.5, cells in row-major order, every fifth empty.
    std::vector<Vertex> points;
    std::vector<int32_t> raster;
    for (int r = 0; r < shape.rows; ++r) {
        for (int c = 0; c < shape.cols; ++c) {
            if ((r * shape.cols + c) % 5 == 4) {
                raster.push_back(-1);
                continue;
            }
            raster.push_back(int32_t(points.size()));
            points.push_back(
                {shape.offsetX + c * shape.spacing, r * shape.spacing, 0.5f, float(c + r) / 8.0f});
        }
    }
    if (shape.cameraFirst) {
        const ply_property_def fov = scalar("fov", PLY_FLOAT, offsetof(Camera, fov));
        ply_describe_element(ply, "camera", 1, 1, &fov);
    }
    describeVertices(ply, int(points.size()), shape.confidence);
    const ply_property_def cellProp =
        list("vertex_indices", offsetof(Cell, index), offsetof(Cell, count));
    ply_describe_element(ply, "range_grid", int(raster.size()), 1, &cellProp);
    if (shape.faces) describeFaces(ply, 1, true);
    append_comment(ply, "generated range image");
    append_obj_info(ply, ("num_cols " + std::to_string(shape.cols)).c_str());
    append_obj_info(ply, ("num_rows " + std::to_string(shape.rows)).c_str());
    ply_header_complete(ply);

    if (shape.cameraFirst) {
        ply_elements_setup(ply, "camera");
        Camera camera{0.75f};
        ply_write_element(ply, &camera);
    }
    ply_elements_setup(ply, "vertex");
    for (const Vertex& v : points) ply_write_element(ply, &v);
    ply_elements_setup(ply, "range_grid");
    for (int32_t g : raster) {
        int32_t index = g;
        Cell cell{static_cast<unsigned char>(g < 0 ? 0 : 1), &index};
        ply_write_element(ply, &cell);
    }
    if (shape.faces) writeFaces(ply, {{0, 1, 2}});
    return file.finish();
}

std::string tetrahedron(int fileType, bool intensity) {
    MemoryFile file(fileType, {"vertex", "face"});
    ply_handle* ply = file.ply();
    describeVertices(ply, 4, false);
    describeFaces(ply, 4, intensity);
    append_comment(ply, "a closed tetrahedron");
    ply_header_complete(ply);
    const Vertex corners[] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    ply_elements_setup(ply, "vertex");
    for (const Vertex& v : corners) ply_write_element(ply, &v);
    writeFaces(ply, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
    return file.finish();
}

std::string tetrahedronM() {
    return "# a closed tetrahedron\n"
           "Vertex 1 0 0 0\n"
           "Vertex 2 1 0 0\n"
           "Vertex 3 0 1 0\n"
           "Vertex 4 0 0 1\n"
           "Face 1 1 3 2\n"
           "Face 2 1 2 4 {rgb=(1 0 0) matid=2}\n"
           "Face 3 1 4 3{rgb=(0 1 0) matid=1}\n"
           "Face 4 2 3 4 {normal=(0 0 1)}\n";
}

}  // namespace seeds
