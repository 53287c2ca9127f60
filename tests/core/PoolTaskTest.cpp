#include "core/PoolTask.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

// The result arrives on the context's thread, and only after the call returned.
TEST(PoolTaskTest, DeliversLaterOnTheContextThread)
{
    QObject context;
    QThread* deliveredOn = nullptr;
    int delivered = 0;
    runInPool(&context, [] { return 42; }, [&](int value) {
        deliveredOn = QThread::currentThread();
        delivered = value;
    });
    EXPECT_EQ(delivered, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered != 0; }));
    EXPECT_EQ(delivered, 42);
    EXPECT_EQ(deliveredOn, context.thread());
}

// A context destroyed while the work runs, or after it finished but before the
// hand-off was seen, gets nothing; the work still ends and nothing crashes.
TEST(PoolTaskTest, DropsTheResultForAContextThatIsGone)
{
    for (const bool finishFirst : {false, true}) {
        QThreadPool pool;
        auto context = std::make_unique<QObject>();
        QSemaphore release;
        bool delivered = false;
        runInPool(pool, context.get(), [&release] { release.acquire(); return std::make_shared<int>(7); },
                  [&](const std::shared_ptr<int>&) { delivered = true; });
        if (finishFirst) {
            release.release();
            pool.waitForDone();
            context.reset();
        } else {
            context.reset();
            release.release();
            pool.waitForDone();
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        EXPECT_FALSE(delivered) << finishFirst;
    }
}
