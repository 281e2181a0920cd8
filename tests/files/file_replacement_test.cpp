// A file being replaced leaves nothing behind when the process is ended by
// a signal while it writes.
#include "files/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

// SIGINT, SIGTERM and SIGHUP while a temporary file is open: it is removed,
// the earlier target stays, and the process still ends by the signal.
TEST(FileReplacement, ASignalRemovesTheTemporaryFileAndStillEndsTheProcess) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string dir = testing_support::makeTempDir("signal");
        const std::string target = dir + "/scan.cln.ply";
        testing_support::writeFile(target, "earlier\n");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(sig, SIG_DFL);
            files::FileReplacement out;
            std::string error;
            if (!out.create(target, &error)) _exit(3);
            std::fputs("half a scan", out.stream());
            std::fflush(out.stream());
            raise(sig);
            _exit(4);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " " << status;
        int entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir)) entries += e.exists();
        EXPECT_EQ(entries, 1) << sig;  // the target alone
        EXPECT_EQ(testing_support::readFile(target), "earlier\n");
        std::filesystem::remove_all(dir);
    }
}

}  // namespace
