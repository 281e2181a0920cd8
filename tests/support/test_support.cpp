#include "test_support.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

std::string makeTempDir(const std::string& tag) {
    static std::atomic<int> counter{0};
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("rangeloom-test-" + std::to_string(getpid()) +
                                                      "-" + std::to_string(counter++) + "-" + tag);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string testDataPath(const std::string& relative) {
#ifdef RANGELOOM_SOURCE_DIR
    return std::string(RANGELOOM_SOURCE_DIR) + "/tests/" + relative;
#else
    return "tests/" + relative;
#endif
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code missing;  // a missing folder lists nothing
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
        if (entry.path().filename().string()[0] != '.')
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testing_support
