// PlyMesh: a mesh read from a PLY file, either an ordinary polygon mesh or a
// range image whose range_grid element names, for every cell of the
// scanner's raster, the point measured there. PlyMesh::load reads one and
// reports each step on standard output.
#pragma once

#include <string>
#include <vector>

#include "files/file_identity.h"
#include "scene/load_status.h"
#include "scene/mesh.h"

namespace formats {
struct StructuredScan;
}

struct PlyLoadOptions {
    // A lone file (the viewer's lone .ply) is also scaled to a unit extent
    // and centred when drawn; a scan of a configuration keeps its scanner
    // coordinates.
    bool alone = false;
    // For a scan whose pose will be baked in at once: its normals are then
    // computed from the world positions, so the loader does not compute them
    // from the model positions first (everything it prints is unchanged).
    bool normalsFromPose = false;
    // The batch cleaner's lean load: a range image without faces of its own
    // keeps its triangles implicit in its raster (the overlap analysis walks
    // the raster for them, see trianglesInRaster), and gets no normals and
    // no edges. Its report then counts no faces and no edges.
    bool lean = false;
};

class PlyMesh : public Mesh {
public:
    // An empty mesh; PlyMesh::load reads one from a file.
    explicit PlyMesh(int id);

    // Reads the PLY file into a new mesh with the given id. Fails, with no
    // mesh, when the file cannot be opened (CannotOpen, after "Could not open
    // file NAME"), when the library does not accept its header
    // (HeaderNotAccepted, after "Could not read file NAME"), or when its data
    // ends early or cannot be read (DataDamaged: the report up to there, the
    // library's message on standard error, and the library's exit status in
    // fatalStatus; the process goes on). Several threads may load at once.
    static Loaded<PlyMesh> load(int id, const std::string& path,
                                const PlyLoadOptions& options = PlyLoadOptions());

    // A scan of a PTX or E57 file (path) as a new mesh that is, bit for bit,
    // the mesh load gives for the scan's PLY form (rangeloom-scanconvert's
    // STEM-NN.ply): the points with a return as vertices rounded to float, in
    // the scan's order, its raster as the range_grid with its size, then the
    // same finishing steps (triangulation, normals, edges, counts). An
    // unstructured scan is a mesh of points without faces. The report starts
    // with the file, the scan and its raster instead of the PLY header. The
    // caller owns the mesh. The scan is used up: its raster moves into the
    // mesh and its points are freed once copied, before the triangulation.
    static std::unique_ptr<PlyMesh> fromScan(int id, formats::StructuredScan&& scan,
                                             const std::string& path,
                                             const PlyLoadOptions& options = PlyLoadOptions());

    // Scan N of a PTX or E57 file has the number N (from 1); a PLY file's
    // mesh has 0.
    std::size_t scanNumber() const { return scanNumber_; }
    // The name the file gives the scan, control characters replaced; "" for
    // a PLY file.
    const std::string& scanName() const { return scanName_; }
    // How reports name the scan: the file name, followed by "#N" for scan N
    // of a PTX or E57 file.
    std::string label() const;
    // The path output names are made from (cleanedName, valueExportName):
    // fileName for a PLY file; DIR/STEM-NN.ply for scan N of DIR/STEM.ptx or
    // DIR/STEM.e57, the name rangeloom-scanconvert gives the scan's PLY form.
    std::string outputSource() const;
    // outputSource of scan N (0: the only scan) of the file at PATH.
    static std::string outputSourceOf(const std::string& path, std::size_t scanNumber);

    // Places a scan made by fromScan: the file's own pose first, then the
    // configuration record's (rotation as the record writes it, translation;
    // the identity for a lone file), as rotate and translate calls that
    // bakeWorldPositions applies. With an identity record they are exactly
    // the calls of the record of the scan's PLY form. The combined pose goes
    // into the comments of the cleaned file.
    void placeScan(const Quaternion& recordRotation, const Vec3& recordTranslation);

    // Header text before the first line containing "element vertex", and the
    // text after that line through the first line containing "end_header",
    // each line with its line end.
    const std::string& headerHead() const { return headerHead_; }
    const std::string& headerTail() const { return headerTail_; }

    // True when the file is an ASCII range image whose vertex element has
    // exactly x, y, z and whose only other element is range_grid: its header
    // can be written back unchanged around a new vertex count.
    bool headerRewritable() const { return headerRewritable_; }
    const std::vector<std::string>& comments() const { return comments_; }
    const std::vector<std::string>& objInfos() const { return objInfos_; }

    // Writes this scan without its tossed points (values above tossThreshold)
    // as cleanedName(outputSource(), folder): beside its source, or in folder
    // when one is given (the folder must exist). Never over the scan's own
    // file, nor over one of keep's files (checked as the file is put in
    // place). Returns false, with a message naming the file on standard
    // output, when the file could not be written; an earlier file of that
    // name is then left as it was.
    bool writeCleaned(const std::string& folder = std::string(),
                      const files::ProtectedFiles* keep = nullptr) const;

    // Name of the cleaned file: the source's file name cut at the first
    // ".ply" (or kept whole without one) followed by ".cln.ply", in folder,
    // or in the source's folder when folder is empty.
    static std::string cleanedName(const std::string& source,
                                   const std::string& folder = std::string());

private:
    // The load as a list of steps: the header text captured, the library's
    // header read, the raster size, every element, the comments and obj_info
    // lines, whether the header can be reused, then finishLoad.
    LoadStatus loadFile(const std::string& name, const PlyLoadOptions& options);
    // After reading: invalid indices dropped, the first elements, the
    // placement, the triangulation of a raster, normals, edges, the counts.
    void finishLoad(const PlyLoadOptions& options);
    // The file checked and its header text kept: CannotOpen when it cannot
    // be opened or is no regular file; HeaderNotAccepted when its first
    // word is not "ply" or its header does not end.
    LoadStatus captureHeader(const std::string& name);
    // Raster cells naming no vertex become empty, faces naming a missing
    // vertex are left out; each kind is reported once, with its count.
    void dropInvalidIndices();

    std::string headerHead_;
    std::string headerTail_;
    bool headerRewritable_ = false;
    std::vector<std::string> comments_;
    std::vector<std::string> objInfos_;
    std::size_t scanNumber_ = 0;
    std::string scanName_;
    Quaternion scanRotation_;  // the file's pose of the scan as a bmesh record's quaternion
    Vec3 scanTranslation_;     // and translation
};
