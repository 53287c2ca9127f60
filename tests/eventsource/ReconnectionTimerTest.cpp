#include "eventsource/ReconnectionTimer.h"

#include <gtest/gtest.h>

TEST(ReconnectionTimer, DoublesUpToTheCapWithHalfOfItJitter)
{
    const auto clock = [] { return 1000.0; };
    ReconnectionTimer lowest(30.0, 60.0, clock, [] { return 0.0; });
    ReconnectionTimer highest(30.0, 60.0, clock, [] { return 1.0; });
    const double low[] = {1, 2, 4, 8, 15, 15, 15};
    const double high[] = {2, 4, 8, 16, 30, 30, 30};
    for (int i = 0; i < 7; ++i) {
        EXPECT_DOUBLE_EQ(lowest.reconnectDelay(1.0), low[i]) << "attempt " << i;
        EXPECT_DOUBLE_EQ(highest.reconnectDelay(1.0), high[i]) << "attempt " << i;
    }
    ReconnectionTimer middle(30.0, 60.0, clock, [] { return 0.5; });
    EXPECT_DOUBLE_EQ(middle.reconnectDelay(1.0), 1.5);
    // A base from the stream's retry field applies to the next computation.
    EXPECT_DOUBLE_EQ(middle.reconnectDelay(0.25), 0.75);

    // Huge bases and long runs of failures stay capped, without overflowing to NaN.
    EXPECT_DOUBLE_EQ(highest.reconnectDelay(9223372036854775.807), 30.0);
    for (int i = 0; i < 5000; ++i)
        ASSERT_LE(highest.reconnectDelay(1.0), 30.0);
    EXPECT_DOUBLE_EQ(highest.reconnectDelay(1.0), 30.0);
    EXPECT_DOUBLE_EQ(highest.reconnectDelay(0.0), 0.0);
    EXPECT_DOUBLE_EQ(highest.reconnectDelay(-5.0), 0.0);
}

TEST(ReconnectionTimer, ConnectionOfSixtySecondsResetsTheBackoffButFiftyNineDoesNot)
{
    double now = 1000.0;
    ReconnectionTimer timer(
        30.0, 60.0, [&now] { return now; }, [] { return 0.0; });
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 2.0);

    timer.connected();
    now += 59.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 4.0); // keeps growing

    timer.connected();
    now += 60.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 0.5); // from the base again: [0.5, 1]
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);

    // The connected time counts once: a later failure without a connection grows again.
    timer.connected();
    now += 120.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 0.5);
    now += 120.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);
}
