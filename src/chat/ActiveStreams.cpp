#include "chat/ActiveStreams.h"

#include "chat/ChatStreamHandler.h"

void ActiveStreams::insertAndStart(const QUuid& id, ActiveStream stream)
{
    QMutexLocker locker(&m_mutex);
    EventSource* source = stream.source.get();
    m_streams.insert_or_assign(id, std::move(stream));
    // start() only queues work on the stream's thread; no handler call can
    // take the entry before this lock is released.
    if (source)
        source->start();
}

std::optional<ActiveStream> ActiveStreams::take(const QUuid& id)
{
    QMutexLocker locker(&m_mutex);
    auto it = m_streams.find(id);
    if (it == m_streams.end())
        return std::nullopt;
    ActiveStream stream = std::move(it->second);
    m_streams.erase(it);
    return stream;
}

bool ActiveStreams::contains(const QUuid& id) const
{
    QMutexLocker locker(&m_mutex);
    return m_streams.count(id) > 0;
}

qsizetype ActiveStreams::size() const
{
    QMutexLocker locker(&m_mutex);
    return static_cast<qsizetype>(m_streams.size());
}

ActiveStreams& activeStreams()
{
    // Never destroyed: streams still running at exit are not torn down after
    // the application object is gone.
    static ActiveStreams* registry = new ActiveStreams;
    return *registry;
}
