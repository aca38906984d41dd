// The benchmark command, run end to end at its tiny setting: it must build
// its programs, run every figure, and print one Markdown table holding a
// measured row for each of the five figures. Its arithmetic is then fed
// samples whose answers are known.
#include "support/runner.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

// The show's build directory: the benchmark reuses it.
static std::string builddir()
{
    std::string binary = DEMOPLAYER;
    return binary.substr(0, binary.rfind('/'));
}

// The cells of a Markdown table row, trimmed.
static std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream in(line.substr(1));
    std::string cell;
    while (std::getline(in, cell, '|')) {
        size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
        out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    }
    return out;
}

static std::string figures(const std::string& args, const std::string& input)
{
    std::string cmd = "printf '" + input + "' | " + builddir() + "/bench/figures " + args;
    outcome r = run({"/bin/sh", "-c", cmd}, "/tmp", {}, 60);
    EXPECT_EQ(r.status, 0) << cmd;
    return r.out;
}

TEST(Bench, TinyRunPrintsAMeasuredRowForEveryFigure)
{
    outcome r = run({SOURCE_DIR "/bench/run.sh", "--tiny"}, SOURCE_DIR,
                    {"BENCH_BUILD=" + builddir()}, 1800);
    ASSERT_EQ(r.status, 0) << r.out;

    std::stringstream lines(r.out);
    std::string line;
    int rows[6] = {};
    bool header = false;
    while (std::getline(lines, line)) {
        if (line.rfind("| figure |", 0) == 0)
            header = true;
        if (line.rfind("| P", 0) != 0)
            continue;
        std::vector<std::string> c = cells(line);
        ASSERT_EQ(c.size(), 7u) << line;
        int figure = line[3] - '0';
        ASSERT_TRUE(figure >= 1 && figure <= 5) << line;
        rows[figure]++;
        // Every figure was measured: nothing it needs was missing.
        EXPECT_NE(c[1], "n/a") << line;
        EXPECT_TRUE(c[6] == "yes" || c[6] == "no") << line;
    }
    EXPECT_TRUE(header) << r.out;
    EXPECT_EQ(rows[1], 2) << "one section: its median-vs-replay and p99 rows\n" << r.out;
    EXPECT_EQ(rows[2], 1) << r.out;
    EXPECT_EQ(rows[3], 6) << "error, jitter and steps back for ALSA and OSS\n" << r.out;
    EXPECT_EQ(rows[4], 1) << r.out;
    EXPECT_EQ(rows[5], 1) << r.out;

    // Quantiles by nearest rank.
    EXPECT_EQ(figures("stats", "4\\n1\\n3\\n2\\n"), "2 4 2.5 1 4 4\n");
    // A clock paced at 1000 units per second, idle before it starts: no
    // error, no jitter, no step back.
    std::string paced = "0 0\\n10000000 0\\n20000000 10\\n30000000 20\\n40000000 30\\n";
    EXPECT_EQ(figures("clock 1000", paced), "0.0000 0.0000 0 3\n");
    // A sample 8 ms behind the line, and a last one 15 ms behind it that
    // steps back.
    std::string late = "0 10\\n10000000 20\\n20000000 22\\n30000000 40\\n40000000 35\\n";
    EXPECT_EQ(figures("clock 1000", late), "15.0000 15.0000 1 5\n");
}
