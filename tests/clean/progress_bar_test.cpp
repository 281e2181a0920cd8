// The batch cleaner's progress bar.
#include "clean/progress_bar.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string contents(std::FILE* f) {
    std::fflush(f);
    std::string text;
    char buffer[256];
    std::rewind(f);
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    return text;
}

}  // namespace

TEST(ProgressBar, LineShowsThePhaseTheBarAndTheCounts) {
    EXPECT_EQ(ProgressBar::line("Analysing", 0, 90),
              "Analysing [..............................]   0% (0/90)");
    EXPECT_EQ(ProgressBar::line("Analysing", 45, 90),
              "Analysing [###############...............]  50% (45/90)");
    EXPECT_EQ(ProgressBar::line("Writing", 3, 3),
              "Writing [##############################] 100% (3/3)");
    EXPECT_EQ(ProgressBar::line("Loading a.conf ...", 0, 0), "Loading a.conf ...");
    // Counts out of range are held to the bar.
    EXPECT_EQ(ProgressBar::line("x", 7, 5), "x [##############################] 100% (5/5)");
    // The passes of 50,000 scans number 2,499,950,000: beyond 32 bits.
    EXPECT_EQ(ProgressBar::line("Analysing", 1249975000LL, 2499950000LL),
              "Analysing [###############...............]  50% (1249975000/2499950000)");
}

TEST(ProgressBar, LineEndsWithTheTimeLeftWhenOneIsEstimated) {
    EXPECT_EQ(ProgressBar::line("Measuring", 1, 2, 11.6),
              "Measuring [###############...............]  50% (1/2)  about 12 s left");
    EXPECT_EQ(ProgressBar::line("Measuring", 1, 2, 150.0),
              "Measuring [###############...............]  50% (1/2)  about 2 min left");
    EXPECT_EQ(ProgressBar::line("Measuring", 1, 2, -1.0), ProgressBar::line("Measuring", 1, 2));
    EXPECT_EQ(ProgressBar::line("Loading", 0, 0, 5.0), "Loading");
}

TEST(ProgressBar, RedrawsInPlaceOnlyOnChangesAndClearsItsLine) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ProgressBar bar(f, true);
    bar.show("Loading a.conf ...", 0, 0);
    bar.show("Loading a.conf ...", 0, 0);
    bar.show("ab", 0, 0);  // shorter: blanks over the rest
    bar.clear();
    EXPECT_EQ(contents(f), "\rLoading a.conf ...\rab                \r  \r");
    std::fclose(f);

    f = std::tmpfile();
    ProgressBar off(f, false);
    off.show("Analysing", 1, 2);
    off.clear();
    EXPECT_EQ(contents(f), "");
    std::fclose(f);
}
