#include "eventsource/EventSource.h"

#include "eventsource/EventSourceDelegate.h"
#include "eventsource/EventSourceThreads.h"

#include <QMutexLocker>
#include <QThread>

EventSource::EventSource(Config config)
    : m_shared(std::make_shared<EventSourceShared>()), m_delegate(nullptr), m_thread(EventSourceThreads::create())
{
    m_shared->lastEventId = config.lastEventId;
    m_delegate = new EventSourceDelegate(std::move(config), m_shared);
    m_delegate->moveToThread(m_thread);
}

EventSource::~EventSource()
{
    m_shared->released.store(true);
    m_shared->stopRequested.store(true);
    QThread* thread = m_thread;
    QMetaObject::invokeMethod(
        m_delegate,
        [delegate = m_delegate, thread] {
            delegate->stop();
            // Deleted once the call in progress (perhaps the one that released us) is over;
            // a finishing thread deletes what was left for it.
            delegate->deleteLater();
            thread->quit();
        },
        Qt::QueuedConnection);
    EventSourceThreads::retire(thread);
}

void EventSource::start()
{
    QMetaObject::invokeMethod(m_delegate, [delegate = m_delegate] { delegate->start(); }, Qt::QueuedConnection);
}

void EventSource::stop()
{
    m_shared->stopRequested.store(true);
    QMetaObject::invokeMethod(m_delegate, [delegate = m_delegate] { delegate->stop(); }, Qt::QueuedConnection);
}

QByteArray EventSource::getLastEventId() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->lastEventId;
}

ReadyState EventSource::readyState() const
{
    return m_shared->readyState.load();
}
