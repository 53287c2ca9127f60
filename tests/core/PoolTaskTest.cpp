#include "core/PoolTask.h"

#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

// The result comes later, on the context's thread; a context destroyed while
// the work runs, or after it finished but before the hand-off, gets nothing,
// and nothing crashes.
TEST(PoolTaskTest, DeliversLaterOnTheContextThreadOrNotAtAll)
{
    QObject context;
    QThread* deliveredOn = nullptr;
    runInPool(
        &context, [] { return 42; },
        [&](int value) { deliveredOn = value == 42 ? QThread::currentThread() : nullptr; });
    EXPECT_EQ(deliveredOn, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deliveredOn; }));
    EXPECT_EQ(deliveredOn, context.thread());

    for (const bool finishFirst : {false, true}) {
        QThreadPool pool;
        auto gone = std::make_unique<QObject>();
        QSemaphore release(finishFirst ? 1 : 0);
        bool delivered = false;
        runInPool(
            pool, gone.get(),
            [&] {
                release.acquire();
                return std::make_shared<int>(7);
            },
            [&](const std::shared_ptr<int>&) { delivered = true; });
        if (finishFirst)
            pool.waitForDone();
        gone.reset();
        release.release();
        pool.waitForDone();
        QCoreApplication::processEvents();
        EXPECT_FALSE(delivered) << finishFirst;
    }
}
