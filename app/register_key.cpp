#include "app/register_key.h"

#include <cstdio>
#include <vector>

#include "files/file_replacement.h"
#include "register/refine.h"
#include "register/register_report.h"
#include "register/scan_source.h"
#include "scan/overlap_analysis.h"
#include "scan/ply_mesh.h"
#include "scene/scene_state.h"

namespace {

std::string configPath;   // the configuration of the scans in the scene
std::string currentText;  // its text with the poses the scans have now ("" before 'g')

// The transform a drag gave an object, kept while its pose is baked anew.
struct Placement {
    Vec3 position, scaleFactors;
    Matrix4 rotation;
};

Placement placementOf(const SceneObject& o) {
    return {o.position, o.scaleFactors, o.rotation};
}

void restore(SceneObject& o, const Placement& p) {
    o.position = p.position;
    o.scaleFactors = p.scaleFactors;
    o.rotation = p.rotation;
}

// The analysis again, with a new lattice mesh in the old one's place.
void analyseAgain(const std::vector<PlyMesh*>& scans) {
    Mesh* lattice = nullptr;
    analyzeOverlap(std::vector<Mesh*>(scans.begin(), scans.end()), &lattice);
    for (std::size_t i = 0; i < sceneList.size(); ++i) {
        if (sceneList[i] != gridMesh) continue;
        if (lattice != nullptr) {
            restore(*lattice, placementOf(*gridMesh));
            lattice->setDisplayMode(gridMesh->getDisplayMode());
            sceneList[i] = lattice;
        } else {
            sceneList.erase(sceneList.begin() + static_cast<std::ptrdiff_t>(i));
        }
        delete gridMesh;
        gridMesh = lattice;
        return;
    }
    delete lattice;  // there was no lattice to replace
}

}  // namespace

void rememberConfiguration(const std::string& path) {
    configPath = path;
    currentText.clear();
}

void refineLoadedConfiguration() {
    if (configPath.empty()) {
        std::printf("Nothing to register: the viewer did not load a scan configuration\n");
        return;
    }
    std::string error;
    if (currentText.empty()) {
        std::string text;  // kept only when read whole
        if (!readConfigText(configPath, &text, &error)) {
            std::printf("Could not register: %s\n", error.c_str());
            return;
        }
        currentText = text;
    }
    const std::vector<ConfigRecord> records = readConfigRecords(currentText);
    std::vector<std::string> warnings;
    std::vector<PlyMesh*> scans;
    for (Mesh* object : sceneList)
        if (object != gridMesh) scans.push_back(dynamic_cast<PlyMesh*>(object));
    ScanSource source;
    for (PlyMesh* scan : scans)
        if (scan == nullptr) error = "the scene holds a mesh that is not a scan";
    if (!error.empty() || !checkRecordPoses(records, &error, &warnings) ||
        !scanSourceOf(std::vector<const PlyMesh*>(scans.begin(), scans.end()), records, &source,
                      &error)) {
        std::printf("Could not register %s: %s\n", configPath.c_str(), error.c_str());
        return;
    }
    for (const std::string& w : warnings) std::printf("%s\n", w.c_str());
    std::printf("Registering the scans of %s ...\n", configPath.c_str());
    std::fflush(stdout);

    Refinement refined;
    if (!refineConfiguration(currentText, records, source, registration::RegistrationOptions(),
                             &refined, &error)) {
        std::printf("Could not register %s: %s\n", configPath.c_str(), error.c_str());
        return;
    }
    std::fputs(formatRegistrationReport(configPath, refined.names, refined.result).c_str(), stdout);
    for (const std::string& w : registrationWarnings(refined.names, refined.result))
        std::printf("%s\n", w.c_str());
    bool moved = false;
    for (std::size_t k = 0; k < scans.size(); ++k) {
        if (!refined.moved[k]) continue;
        const Placement drag = placementOf(*scans[k]);
        placeByRecord(*scans[k], refined.poses[k].values);
        restore(*scans[k], drag);
        moved = true;
    }
    if (!moved) {
        std::printf("No scan moved\n");
        return;
    }
    currentText = refined.text;
    analyseAgain(scans);
    const std::string out = registeredConfigName(configPath);
    files::ProtectedFiles keep;  // the configuration itself may be named so, a scan never
    for (const PlyMesh* scan : scans) keep.add(scan->fileName, "scan " + scan->fileName);
    if (files::replaceFileWith(out, currentText, &error, &keep))
        std::printf("Wrote %s\n", out.c_str());
    else
        std::printf("Could not write %s: %s\n", out.c_str(), error.c_str());
}
