// rangeloom-perturb: moves every scan of a configuration but the first by a
// rotation of DEG degrees about a random axis through the scan's centre (the
// mean of its points, placed) and a translation of DIST in a random
// direction, and writes the configuration with those poses. The same seed
// gives the same motions. Used to test that registration finds its way back.
//
//   rangeloom-perturb CONF OUT.conf DEG DIST SEED
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/scan_source.h"
#include "tool_support.h"

namespace {

// xorshift64*, the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    double uniform() {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return ((s_ * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
    }
    // A direction uniformly over the sphere.
    Eigen::Vector3d direction() {
        const double z = 2 * uniform() - 1, angle = 2 * M_PI * uniform();
        const double r = std::sqrt(1 - z * z);
        return {r * std::cos(angle), r * std::sin(angle), z};
    }

private:
    uint64_t s_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: rangeloom-perturb CONF OUT.conf DEGREES DISTANCE SEED\n");
        return 1;
    }
    const std::string config = argv[1], out = argv[2];
    const double degrees = std::atof(argv[3]), distance = std::atof(argv[4]);
    Random random(std::strtoull(argv[5], nullptr, 10));

    std::string text;
    ScanSource source;
    std::vector<ConfigRecord> records;
    if (!toolLoad(config, &text, &records, &source)) return 2;
    std::vector<ConfigPose> poses;
    std::size_t k = 0;
    for (const ConfigRecord& r : records) {
        if (!r.isScan()) continue;
        registration::Pose pose = source.views[k].pose;
        if (k > 0) {
            const Eigen::Vector3d centre = pose.apply(modelCentroid(source.views[k]));
            const Eigen::Vector3d axis = random.direction();
            const Eigen::Vector3d shift = distance * random.direction();
            pose = registration::movedAbout(pose, centre, degrees * M_PI / 180 * axis, shift);
        }
        poses.push_back(recordOfPose(pose, r.values));
        ++k;
    }
    std::string written, error;
    if (!rewriteConfig(text, poses, "# perturbed by rangeloom-perturb", &written, &error) ||
        !toolWrite(out, written, &error)) {
        std::fprintf(stderr, "rangeloom-perturb: cannot write %s %s\n", out.c_str(), error.c_str());
        return 3;
    }
    return 0;
}
