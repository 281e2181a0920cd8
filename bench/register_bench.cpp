// Registration speed on a configuration: loading its scans (the viewer's
// loaders) and registering them on one and on two threads, best of REPEATS
// runs each, with the ratio, the peak memory after loading and after
// registering, a check that both thread counts give the same poses, and the
// iterations of the last run.
//
//   rangeloom-register-bench CONF [REPEATS]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "register/config_records.h"
#include "register/scan_source.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Peak resident memory of the process so far, in MB.
double peakMegabytes() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

bool samePoses(const registration::RegistrationResult& a,
               const registration::RegistrationResult& b) {
    if (a.poses.size() != b.poses.size()) return false;
    for (std::size_t i = 0; i < a.poses.size(); ++i)
        if (a.poses[i].rotation.coeffs() != b.poses[i].rotation.coeffs() ||
            a.poses[i].translation != b.poses[i].translation)
            return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rangeloom-register-bench CONF [REPEATS]\n");
        return 1;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::string text;
    FILE* f = std::fopen(argv[1], "rb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        text.append(buffer, got);
    std::fclose(f);
    const std::vector<ConfigRecord> records = readConfigRecords(text);

    double load[3] = {1e9, 1e9, 1e9};  // by threads (1, 2)
    ScanSource kept;
    for (int threads = 1; threads <= 2; ++threads) {
        for (int r = 0; r < repeats; ++r) {
            ScanSource* source = threads == 2 && r + 1 == repeats ? &kept : new ScanSource;
            std::vector<std::string> problems;
            const auto start = std::chrono::steady_clock::now();
            if (!loadScanSource(argv[1], records, threads, source, &problems)) {
                for (const std::string& p : problems) std::fprintf(stderr, "%s\n", p.c_str());
                return 2;
            }
            load[threads] = std::min(load[threads], seconds(start));
            if (source != &kept) delete source;
        }
    }

    const double loadedPeak = peakMegabytes();
    double run[3] = {1e9, 1e9, 1e9};
    registration::RegistrationResult results[3];
    for (int r = 0; r < repeats; ++r) {
        for (int threads = 1; threads <= 2; ++threads) {
            registration::RegistrationOptions options;
            options.threads = threads;
            const auto start = std::chrono::steady_clock::now();
            results[threads] = registration::registerScans(kept.views, options);
            run[threads] = std::min(run[threads], seconds(start));
        }
    }
    std::size_t points = 0;
    for (const auto& v : kept.views) points += v.pointCount;
    std::printf("%zu scans, %zu points; best of %d\n", kept.views.size(), points, repeats);
    std::printf("loading       1 thread %.3f s   2 threads %.3f s   ratio %.2f\n", load[1], load[2],
                load[1] / load[2]);
    std::printf("registering   1 thread %.3f s   2 threads %.3f s   ratio %.2f\n", run[1], run[2],
                run[1] / run[2]);
    std::printf("together      1 thread %.3f s   2 threads %.3f s\n", load[1] + run[1],
                load[2] + run[2]);
    std::printf(
        "peak memory   after loading %.0f MB, after registering %.0f MB; the search "
        "indices %.1f MB\n",
        loadedPeak, peakMegabytes(), results[2].indexBytes / 1048576.0);
    std::printf("same poses on 1 and 2 threads: %s\n",
                samePoses(results[1], results[2]) ? "yes" : "NO");
    std::printf("iteration  radius      pairs        moved\n");
    int k = 0;
    for (const auto& it : results[2].trace)
        std::printf("%9d  %.3g  %9zu  %.3g\n", ++k, it.radius, it.pairs, it.moved);
    return samePoses(results[1], results[2]) ? 0 : 1;
}
