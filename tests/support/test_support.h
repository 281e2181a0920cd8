// Helpers shared by the test suites.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// Runs f and returns what it printed on standard output meanwhile.
template <typename F>
std::string stdoutOf(F&& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// A fresh empty directory under the build's temporary folder, unique per call.
std::string makeTempDir(const std::string& tag);
// Writes text (or bytes) to a file, replacing it.
void writeFile(const std::string& path, const std::string& content);
// The whole content of a file ("" if it cannot be read).
std::string readFile(const std::string& path);
// Path of a file under the source tree's tests/ folder.
std::string testDataPath(const std::string& relative);
// The names in a folder, without those starting with '.', sorted.
std::vector<std::string> filesIn(const std::string& folder);

}  // namespace testing_support
