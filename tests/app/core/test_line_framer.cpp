#include "app/core/line_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Collected {
    std::vector<std::string> lines;
    std::vector<std::string> overlong;
    LineFramer::Sink Sink() {
        return [this](LineFramer::Piece piece, std::string_view text) {
            (piece == LineFramer::Piece::Line ? lines : overlong).emplace_back(text);
        };
    }
};

} // namespace

TEST(LineFramer, EveryLineEndKindEndsALine) {
    LineFramer f;
    Collected c;
    f.Feed("a\rb\nc\r\nd", c.Sink());
    EXPECT_EQ(c.lines, (std::vector<std::string>{
                           "a",
                           "b",
                           "c",
                           "",
                       }));
    EXPECT_EQ(f.PendingSize(), 1u);
    f.Flush(c.Sink());
    EXPECT_EQ(c.lines.back(), "d");
    EXPECT_EQ(f.PendingSize(), 0u);
}

TEST(LineFramer, LinesSplitOverFeedsAreJoined) {
    LineFramer f;
    Collected c;
    f.Feed("12.", c.Sink());
    EXPECT_TRUE(c.lines.empty());
    f.Feed("5\r", c.Sink());
    f.Feed("\n1", c.Sink());
    f.Feed("3.1\r", c.Sink());
    EXPECT_EQ(c.lines, (std::vector<std::string>{"12.5", "", "13.1"}));
}

TEST(LineFramer, OverlongLineIsCutAndItsRestDropped) {
    LineFramer f;
    Collected c;
    const std::string big(3000, '7');
    f.Feed(big, c.Sink());
    f.Feed(big, c.Sink()); // pending passes the limit here
    EXPECT_EQ(c.overlong.size(), 1u);
    EXPECT_EQ(c.overlong[0].size(), LineFramer::kMaxLine);
    EXPECT_EQ(f.PendingSize(), 0u);
    f.Feed(big + "\r42\r", c.Sink()); // the rest of the long line is dropped up to its end
    EXPECT_EQ(c.lines, (std::vector<std::string>{"42"}));

    Collected d;
    LineFramer g;
    g.Feed(std::string(5000, '1') + "\r5\r", d.Sink()); // a whole overlong line in one feed
    EXPECT_EQ(d.overlong.size(), 1u);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"5"}));
}

TEST(LineFramer, ResetForgetsPendingBytes) {
    LineFramer f;
    Collected c;
    f.Feed("123", c.Sink());
    f.Reset();
    f.Feed("4\r", c.Sink());
    EXPECT_EQ(c.lines, (std::vector<std::string>{"4"}));
}
