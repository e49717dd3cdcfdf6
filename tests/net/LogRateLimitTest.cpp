#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LogChannel.h"
#include "LogRateLimit.h"
#include "LogWatch.h"

TEST(LogRateLimit, LetsAFewLinesThroughPerWindowAndCountsTheRest)
{
    LogRateLimit limit(3, 5.0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limit.Admit(100.0 + 0.1 * i)) << "line " << i;
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(limit.Admit(101.0));
    EXPECT_FALSE(limit.Admit(104.9));
    // A new window lets lines through again and tells how many were held back meanwhile.
    EXPECT_TRUE(limit.Admit(105.0));
    EXPECT_EQ(limit.TakeHeldBack(), 1001u);
    EXPECT_EQ(limit.TakeHeldBack(), 0u);
    // A clock that jumps back starts a window rather than silencing the log for good.
    EXPECT_TRUE(limit.Admit(105.1));
    EXPECT_TRUE(limit.Admit(105.2));
    EXPECT_FALSE(limit.Admit(105.3));
    EXPECT_TRUE(limit.Admit(1.0));
}

TEST(LogRateLimit, TheFirstLineAfterSomeWereHeldBackSaysHowManyInTheWordsItWasGiven)
{
    LogChannel channel("RateLimited", false, false);
    const struct
    {
        LogRateLimit limit;
        std::string said;
    } cases[] = {
        {LogRateLimit(1, 5.0), "next (2 more dropped records went unlogged before this one.)"},
        {LogRateLimit(1, 5.0, "connections and disconnections"),
         "next (2 more connections and disconnections went unlogged before this one.)"},
    };
    for (auto c : cases)
    {
        LogWatch watch(channel);
        c.limit.Write(channel, "first", 100.0);
        c.limit.Write(channel, "held", 101.0);
        c.limit.Write(channel, "held", 104.0);
        c.limit.Write(channel, "next", 105.0);
        EXPECT_EQ(watch.Lines(), (std::vector<std::string>{"first", c.said}));
    }
}
