// rangeloom-consistency: how far apart two configurations of the same scans
// place them. Each scan's pose is taken relative to the first scan's in each
// configuration (so that the frame does not count), and the result is the
// RMS distance between each point placed by the one and by the other, over
// all points of all scans but the first.
//
//   rangeloom-consistency A.conf B.conf
// prints: rms RMS points N
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/scan_source.h"
#include "tool_support.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rangeloom-consistency A.conf B.conf\n");
        return 1;
    }
    std::string text, otherText;
    std::vector<ConfigRecord> records;
    ScanSource source;
    if (!toolLoad(argv[1], &text, &records, &source)) return 2;
    FILE* f = std::fopen(argv[2], "rb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        otherText.append(buffer, got);
    std::fclose(f);
    std::vector<registration::Pose> other;
    for (const ConfigRecord& r : readConfigRecords(otherText))
        if (r.isScan()) other.push_back(poseOfRecord(r.values));
    const std::size_t n = source.views.size();
    if (other.size() != n) {
        std::fprintf(stderr, "the configurations name different numbers of scans\n");
        return 2;
    }
    double squares = 0;
    std::size_t count = 0;
    const registration::Pose& firstA = source.views[0].pose;
    const registration::Pose& firstB = other[0];
    for (std::size_t s = 1; s < n; ++s) {
        const registration::ScanPoints& v = source.views[s];
        for (std::size_t i = 0; i < v.pointCount; ++i) {
            const Eigen::Vector3d p(v.points[3 * i], v.points[3 * i + 1], v.points[3 * i + 2]);
            if (!p.allFinite()) continue;
            const Eigen::Vector3d a = firstA.inverseApply(v.pose.apply(p));
            const Eigen::Vector3d b = firstB.inverseApply(other[s].apply(p));
            squares += (a - b).squaredNorm();
            ++count;
        }
    }
    std::printf("rms %.6g points %zu\n", count > 0 ? std::sqrt(squares / count) : 0.0, count);
    return 0;
}
