#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class EventHandler;

// Interprets lines of an event stream as fields ("data", "id", "event", "retry") and
// comments, and hands each finished event to the handler on a blank line. The last
// event id and the retry base outlive reset(), so they carry over to the next
// connection. Not thread-safe.
class EventParser {
public:
    // handler is not owned and must outlive the parser; retry is in seconds.
    EventParser(EventHandler* handler, QByteArray lastEventId, double retry);

    // May call onEvent or onComment of the handler before it returns.
    void parseLine(QByteArrayView line);
    // Drops the pending event without dispatching it.
    void reset();

    const QByteArray& lastEventId() const { return m_lastEventId; }
    double currentRetry() const { return m_currentRetry; }

private:
    void processField(QByteArrayView name, QByteArrayView value);
    void dispatchEvent();

    EventHandler* m_handler;
    QByteArray m_data; // data values, each followed by "\n"
    QByteArray m_eventType;
    std::optional<QByteArray> m_lastEventIdBuffer;
    QByteArray m_lastEventId;
    double m_currentRetry;
};
