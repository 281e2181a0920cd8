#include "clean/clean_options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "../app/app_fixture.h"
#include "app/keyboard.h"

namespace {

struct Parsed {
    ParseOutcome outcome;
    CleanOptions options;
    std::string error;
};

Parsed parse(const std::vector<std::string>& args) {
    Parsed p;
    p.outcome = parseCleanOptions(args, &p.options, &p.error);
    return p;
}

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

}  // namespace

TEST(CleanOptions, EveryOptionInEverySpelling) {
    const std::vector<std::vector<std::string>> spellings = {
        {"--threshold=0.25", "--out=o", "--threads=3", "--export", "--summary", "--quiet",
         "a.conf"},
        {"--threshold", "0.25", "--out", "o", "--threads", "3", "-e", "-n", "-q", "a.conf"},
        {"a.conf", "-t0.25", "-oo", "-j3", "-e", "--summary", "-q"},
        {"-t", "0.25", "-o", "o", "-j", "3", "--export", "-n", "--quiet", "--", "a.conf"},
    };
    for (const auto& args : spellings) {
        const Parsed p = parse(args);
        ASSERT_EQ(p.outcome, ParseOutcome::Run) << p.error;
        EXPECT_EQ(p.options.config, "a.conf");
        EXPECT_TRUE(p.options.hasThreshold);
        EXPECT_EQ(p.options.threshold, 0.25f);
        EXPECT_FALSE(p.options.hasSteps);
        EXPECT_EQ(p.options.outFolder, "o");
        EXPECT_EQ(p.options.threads, 3);
        EXPECT_TRUE(p.options.exportValues);
        EXPECT_TRUE(p.options.summaryOnly);
        EXPECT_EQ(p.options.verbosity, Verbosity::Quiet);
    }
}

TEST(CleanOptions, HistogramAndPlotOptionsTakeTheirValuesInBothSpellings) {
    Parsed p =
        parse({"--histogram", "h.csv", "--plot=p.png", "--bins", "7", "--plot-log", "a.conf"});
    ASSERT_EQ(p.outcome, ParseOutcome::Run) << p.error;
    EXPECT_EQ(p.options.histogramFile, "h.csv");
    EXPECT_EQ(p.options.plotFile, "p.png");
    EXPECT_EQ(p.options.bins, 7);
    EXPECT_TRUE(p.options.plotLog);
    p = parse({"a.conf"});
    EXPECT_EQ(p.options.bins, 50);
    EXPECT_FALSE(p.options.plotLog);
}

TEST(CleanOptions, MemorySizesInUnitsOf1024) {
    for (const auto& [text, bytes] : std::vector<std::pair<std::string, std::uint64_t>>{
             {"4G", 4ull << 30}, {"512m", 512ull << 20}, {"1.5K", 1536}, {"1000000", 1000000}}) {
        const Parsed p = parse({"--memory", text, "--work=w", "--slab-cells=3", "a.conf"});
        ASSERT_EQ(p.outcome, ParseOutcome::Run) << p.error;
        EXPECT_EQ(p.options.memoryBytes, bytes) << text;
        EXPECT_EQ(p.options.workDir, "w");
        EXPECT_EQ(p.options.slabCells, 3);
    }
    for (const std::string bad : {"4X", "-1G", "0", "G", "4GB", "1e30T", ""})
        EXPECT_EQ(parse({"--memory=" + bad, "a.conf"}).error,
                  "--memory needs a size such as 4G, 512M or 1000000, not '" + bad + "'");
}

TEST(CleanOptions, DefaultsNegativeStepsAndNamesThatLookLikeOptions) {
    Parsed p = parse({"scans.conf"});
    ASSERT_EQ(p.outcome, ParseOutcome::Run);
    EXPECT_FALSE(p.options.hasThreshold || p.options.hasSteps || p.options.exportValues ||
                 p.options.summaryOnly);
    EXPECT_TRUE(p.options.outFolder.empty());
    EXPECT_EQ(p.options.threads, 0);
    EXPECT_EQ(p.options.verbosity, Verbosity::Normal);

    // A negative count is a value, not an option.
    p = parse({"--steps", "-3", "-v", "s.conf"});
    ASSERT_EQ(p.outcome, ParseOutcome::Run) << p.error;
    EXPECT_TRUE(p.options.hasSteps);
    EXPECT_EQ(p.options.steps, -3);
    EXPECT_EQ(p.options.verbosity, Verbosity::Verbose);

    // The merged cloud, with its tossed points flagged.
    p = parse({"-m", "all.ply", "-k", "site.e57"});
    ASSERT_EQ(p.outcome, ParseOutcome::Run) << p.error;
    EXPECT_EQ(p.options.mergeFile, "all.ply");
    EXPECT_TRUE(p.options.keepTossed);
    EXPECT_EQ(p.options.config, "site.e57");

    // After "--" everything is a file name; a lone "-" is a name too.
    p = parse({"--", "-odd.conf"});
    ASSERT_EQ(p.outcome, ParseOutcome::Run);
    EXPECT_EQ(p.options.config, "-odd.conf");
    EXPECT_EQ(parse({"-"}).options.config, "-");
}

TEST(CleanOptions, HelpAndVersionStopAtOnce) {
    EXPECT_EQ(parse({"--help"}).outcome, ParseOutcome::Help);
    EXPECT_EQ(parse({"-h", "--no-such-option"}).outcome, ParseOutcome::Help);
    EXPECT_EQ(parse({"a.conf", "-V"}).outcome, ParseOutcome::Version);
    EXPECT_EQ(parse({"--version"}).outcome, ParseOutcome::Version);
    // The help names every option and every exit status.
    const std::string help = cleanHelpText();
    for (const char* word : {"--threshold", "--steps", "--out", "--export", "--summary",
                             "--threads", "--quiet", "--verbose", "--help", "--version", "--merge",
                             "--keep-tossed", "--register", "  0  ", "  1  ", "  2  ", "  3  "})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(CleanOptions, BadUsageSaysWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate", "a.conf"}, "unknown option '--frobnicate'"},
        {{"-x", "a.conf"}, "unknown option '-x'"},
        {{"-qe", "a.conf"}, "unknown option '-qe' (give short options one by one)"},
        {{"--quiet=yes", "a.conf"}, "option --quiet takes no value"},
        {{"a.conf", "--out"}, "option --out needs a value"},
        {{"--out=", "a.conf"}, "--out needs a folder name"},
        {{"--threshold", "abc", "a.conf"}, "--threshold needs a finite number, not 'abc'"},
        {{"--threshold", "0.1x", "a.conf"}, "--threshold needs a finite number, not '0.1x'"},
        {{"--threshold=inf", "a.conf"}, "--threshold needs a finite number, not 'inf'"},
        {{"--threshold=nan", "a.conf"}, "--threshold needs a finite number, not 'nan'"},
        {{"--threshold=1e99", "a.conf"}, "--threshold needs a finite number, not '1e99'"},
        {{"--steps=1.5", "a.conf"},
         "--steps needs a whole number from -100000 to 100000, not '1.5'"},
        {{"--steps=100001", "a.conf"},
         "--steps needs a whole number from -100000 to 100000, not '100001'"},
        {{"--threads=-1", "a.conf"}, "--threads needs a whole number from 0 to 1024, not '-1'"},
        {{"-t", "0.1", "-s", "2", "a.conf"}, "--threshold and --steps cannot be combined"},
        {{"-q", "-v", "a.conf"}, "--quiet and --verbose cannot be combined"},
        {{"--merge=", "a.conf"}, "--merge needs a file name"},
        {{"-n", "--merge", "m.ply", "a.conf"},
         "--summary writes no file: it cannot be combined with --merge"},
        {{"--keep-tossed", "a.conf"}, "--keep-tossed needs --merge"},
        {{"-e"}, "no scan configuration given"},
        {{"a.conf", "b.conf"},
         "only one scan configuration can be given, not 'a.conf' and 'b.conf'"},
        {{"--bins=0", "a.conf"}, "--bins needs a whole number from 1 to 10000, not '0'"},
        {{"--bins", "many", "a.conf"}, "--bins needs a whole number from 1 to 10000, not 'many'"},
        {{"--histogram=", "a.conf"}, "--histogram needs a file name"},
        {{"--plot-log=yes", "a.conf"}, "option --plot-log takes no value"},
    };
    for (const auto& [args, why] : cases) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.outcome, ParseOutcome::BadUsage) << why;
        EXPECT_EQ(p.error, why);
    }
}

using CleanThresholdSteps = AppTest;

// The batch tool's steps land on the very float the viewer's keys reach.
TEST_F(CleanThresholdSteps, MatchRepeatedKeyPressesBitForBit) {
    const float starts[] = {0.002f, 0.000714619f, 0.0009407878f, 1.0f / 3.0f, 7.3e-5f};
    const int counts[] = {0, 1, 2, 3, 7, 10, 11, 25, 137, -1, -2, -9, -10, -11, -40};
    for (float start : starts) {
        for (int steps : counts) {
            tossThreshold = start;
            tossStepSet = false;
            testing::internal::CaptureStdout();
            for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
                onKeyboard(steps < 0 ? 't' : 'T', 0, 0);
            testing::internal::GetCapturedStdout();
            EXPECT_EQ(bitsOf(thresholdAfterSteps(start, steps)), bitsOf(tossThreshold))
                << start << " " << steps;
        }
    }
}

TEST(CleanThresholdStepsArithmetic, AddsTheStepOncePerPressRatherThanMultiplying) {
    // Values worked out by hand with single-precision sums: a product
    // (start + steps * step) gives 0.00340000028 and exactly 0 here.
    EXPECT_EQ(thresholdAfterSteps(0.002f, 7), 0.00340000074f);
    EXPECT_EQ(thresholdAfterSteps(0.000714619f, -10), 4.36557457e-11f);
    EXPECT_EQ(thresholdAfterSteps(0.002f, 0), 0.002f);
}
