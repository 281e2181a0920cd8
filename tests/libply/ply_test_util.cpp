#include "ply_test_util.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "libply/ply_internal.h"
#include "test_support.h"

extern char** environ;

namespace plytest {

PathMode::PathMode(bool plain) : previous_(ply_plain_paths()) {
    ply_set_plain_paths(plain);
}
PathMode::~PathMode() {
    ply_set_plain_paths(previous_);
}

FILE* MemoryInput::open() {
    return fmemopen(bytes_.data(), bytes_.size(), "r");
}

OpenedPly::OpenedPly(std::string bytes) : input_(std::move(bytes)) {
    stream_ = input_.open();
    ply = ply_read_header(stream_, &nelems, &elist);
}

OpenedPly::~OpenedPly() {
    if (ply == nullptr) {
        std::fclose(stream_);
        return;
    }
    ply_free_element_list(nelems, elist);
    ply_close_file(ply);
}

MemoryOutput::MemoryOutput() {
    stream_ = open_memstream(&buffer_, &size_);
}
MemoryOutput::~MemoryOutput() {
    std::free(buffer_);
}

ProbeResult runProbe(const std::vector<std::string>& args) {
    std::string dir = testing_support::makeTempDir("probe");
    std::string err_path = dir + "/err";
    std::string out_path = dir + "/out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> argv_text{PLY_PROBE_PATH};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The probe ends on purpose with memory in use, and asks for impossible
    // amounts of it.
    std::vector<std::string> env_text{"ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1"};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("ASAN_OPTIONS=", 0) != 0) env_text.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, PLY_PROBE_PATH, &actions, nullptr, argv.data(), envp.data()) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    ProbeResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
    // Lines a sanitizer adds ("==pid==WARNING: ...") are not the program's.
    std::string err = testing_support::readFile(err_path);
    size_t start = 0;
    while (start < err.size()) {
        size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(start, 2, "==") != 0) result.err += err.substr(start, end - start);
        start = end;
    }
    result.out = testing_support::readFile(out_path);
    std::remove(err_path.c_str());
    std::remove(out_path.c_str());
    rmdir(dir.c_str());
    return result;
}

CommandResult runCommand(const std::string& command) {
    CommandResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) result.out.append(chunk, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace plytest
