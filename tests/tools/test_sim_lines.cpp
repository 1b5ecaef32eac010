// The simulated device's line stream: values, line ends, fault injection and how lines are cut into writes.

#include "tools/sim_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace sim;

TEST(SimLines, RampWithLineEndsAndCount) {
    LineOptions o;
    o.wave = Wave::Ramp;
    o.decimals = 1;
    o.eol = "\r\n";
    o.count = 3;
    LineSource s(o);
    EXPECT_EQ(s.Next(), "0.0\r\n");
    EXPECT_EQ(s.Next(), "1.0\r\n");
    EXPECT_FALSE(s.Done());
    EXPECT_EQ(s.Next(), "2.0\r\n");
    EXPECT_TRUE(s.Done());
}

TEST(SimLines, FileValuesRepeatUpToTheCount) {
    const auto path = std::filesystem::temp_directory_path() / "mevrant-sim-values.txt";
    std::ofstream(path) << "1.5\n\n  -2 \n";
    LineOptions o;
    o.file = path.string();
    LineSource once(o);
    ASSERT_EQ(once.Error(), "");
    EXPECT_EQ(once.Next(), "1.5\r");
    EXPECT_EQ(once.Next(), "-2\r");
    EXPECT_TRUE(once.Done()); // a file alone: its values once
    o.count = 3;
    LineSource repeated(o);
    repeated.Next();
    repeated.Next();
    EXPECT_EQ(repeated.Next(), "1.5\r");
    std::filesystem::remove(path);
    EXPECT_NE(LineSource(o).Error(), "");
}

TEST(SimLines, GarbageReplacesAboutTheGivenFraction) {
    LineOptions o;
    o.garbage = 0.25;
    LineSource s(o);
    int junk = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string line = s.Next();
        char* end = nullptr;
        std::strtod(line.c_str(), &end);
        if (*end != '\r') ++junk;
    }
    EXPECT_GT(junk, 800);
    EXPECT_LT(junk, 1200);
}

TEST(SimChunker, BurstAndSplitKeepEveryByteInOrder) {
    LineOptions o;
    o.wave = Wave::Ramp;
    o.decimals = 0;
    o.count = 10;
    o.burst = 3;
    LineSource source(o);
    Chunker chunker(source, true);
    std::string all;
    std::vector<std::string> writes;
    while (!chunker.Done())
        writes.push_back(chunker.Next());
    for (const auto& w : writes)
        all += w;
    EXPECT_EQ(all, "0\r1\r2\r3\r4\r5\r6\r7\r8\r9\r");
    ASSERT_EQ(writes.size(), 5u); // four writes of three lines, the rest of the last line alone
    EXPECT_EQ(writes[0], "0\r1\r2");
    EXPECT_EQ(writes[1], "\r3\r4\r5");
    EXPECT_EQ(writes[4], "\r");
}
