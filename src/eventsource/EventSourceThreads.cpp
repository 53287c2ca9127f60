#include "eventsource/EventSourceThreads.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace {

QMutex retiredMutex;
QList<QThread*> retired;

void joinAll()
{
    QList<QThread*> threads;
    {
        QMutexLocker lock(&retiredMutex);
        threads.swap(retired);
    }
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
}

void registerExitJoin()
{
    static const bool registered = [] {
        qAddPostRoutine(joinAll);
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

QThread* EventSourceThreads::create()
{
    reap();
    registerExitJoin();
    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("ESDelegateQueue"));
    thread->start();
    return thread;
}

void EventSourceThreads::retire(QThread* thread)
{
    {
        QMutexLocker lock(&retiredMutex);
        retired.append(thread);
    }
    reap();
}

void EventSourceThreads::reap()
{
    QList<QThread*> finished;
    {
        QMutexLocker lock(&retiredMutex);
        for (auto it = retired.begin(); it != retired.end();) {
            if ((*it)->isFinished() && *it != QThread::currentThread()) {
                finished.append(*it);
                it = retired.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (QThread* thread : finished) {
        thread->wait();
        delete thread;
    }
}
