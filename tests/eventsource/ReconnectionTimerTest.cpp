#include "eventsource/ReconnectionTimer.h"

#include <gtest/gtest.h>

namespace {

struct FakeClock {
    double now = 1000.0;
    ReconnectionTimer::Clock clock()
    {
        return [this] { return now; };
    }
};

} // namespace

TEST(ReconnectionTimer, DoublesUpToTheCapWithHalfOfItJitter)
{
    FakeClock time;
    ReconnectionTimer lowest(30.0, 60.0, time.clock(), [] { return 0.0; });
    ReconnectionTimer highest(30.0, 60.0, time.clock(), [] { return 1.0; });
    const double low[] = {1, 2, 4, 8, 15, 15, 15};
    const double high[] = {2, 4, 8, 16, 30, 30, 30};
    for (int i = 0; i < 7; ++i) {
        EXPECT_DOUBLE_EQ(lowest.reconnectDelay(1.0), low[i]) << "attempt " << i;
        EXPECT_DOUBLE_EQ(highest.reconnectDelay(1.0), high[i]) << "attempt " << i;
    }
    ReconnectionTimer middle(30.0, 60.0, time.clock(), [] { return 0.5; });
    EXPECT_DOUBLE_EQ(middle.reconnectDelay(1.0), 1.5);
    // A base from the stream's retry field applies to the next computation.
    EXPECT_DOUBLE_EQ(middle.reconnectDelay(0.25), 0.75);
}

TEST(ReconnectionTimer, HugeBasesAndLongFailureRunsStayCapped)
{
    FakeClock time;
    ReconnectionTimer timer(30.0, 60.0, time.clock(), [] { return 1.0; });
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(9223372036854775.807), 30.0);
    for (int i = 0; i < 5000; ++i)
        ASSERT_LE(timer.reconnectDelay(1.0), 30.0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 30.0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(0.0), 0.0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(-5.0), 0.0);
}

TEST(ReconnectionTimer, ConnectionOfSixtySecondsResetsTheBackoffButFiftyNineDoesNot)
{
    FakeClock time;
    ReconnectionTimer timer(30.0, 60.0, time.clock(), [] { return 0.0; });
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 2.0);

    timer.connected();
    time.now += 59.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 4.0); // keeps growing
    EXPECT_EQ(timer.backoffCount(), 3);

    timer.connected();
    time.now += 60.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 0.5); // from the base again: [0.5, 1]
    EXPECT_EQ(timer.backoffCount(), 0);
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);

    // The connected time counts once: a later failure without a connection grows again.
    timer.connected();
    time.now += 120.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 0.5);
    time.now += 120.0;
    EXPECT_DOUBLE_EQ(timer.reconnectDelay(1.0), 1.0);
}
