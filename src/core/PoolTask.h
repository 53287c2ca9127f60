#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

// Hands the outcome of `future` to `deliver` on the thread of `context` once
// the future has finished, and never after `context` is gone. Call it on the
// thread `context` lives on. The delivery always comes later in that thread's
// event loop, even for a future that has already finished.
//
// The hand-off goes through a watcher owned by `context`: destroying the
// context destroys the watcher, which Qt detaches from the future under its
// own lock, so a worker finishing at that moment delivers nowhere. A plain
// QPointer read on the worker could not promise that.
template <typename T, typename Deliver>
void deliverWhenFinished(const QFuture<T>& future, QObject* context, Deliver deliver)
{
    auto* watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, deliver = std::move(deliver)]() mutable {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<T>)
                             deliver();
                         else
                             deliver(watcher->future().result());
                     });
    watcher->setFuture(future);
}

// Runs `work` (blocking or CPU-heavy, never throwing) on `pool` and hands its
// result to `deliver` on the thread of `context`, unless `context` is gone by
// then. The work itself still runs to its end: it must not touch `context`.
template <typename Work, typename Deliver>
void runInPool(QThreadPool& pool, QObject* context, Work work, Deliver deliver)
{
    deliverWhenFinished(QtConcurrent::run(&pool, std::move(work)), context, std::move(deliver));
}

// The same on the application's shared pool.
template <typename Work, typename Deliver>
void runInPool(QObject* context, Work work, Deliver deliver)
{
    runInPool(*QThreadPool::globalInstance(), context, std::move(work), std::move(deliver));
}
