#pragma once

#include "eventsource/StreamLimits.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class EventHandler;

// Interprets lines of an event stream as fields ("data", "id", "event", "retry") and
// comments, and hands each finished event to the handler on a blank line. The last
// event id and the retry base outlive reset(), so they carry over to the next
// connection. An event whose data would grow past maxDataBytes is dropped, and the
// parser reports overflowed() and ignores every line until reset(). Not thread-safe.
class EventParser {
public:
    // handler is not owned and must outlive the parser; retry is in seconds.
    EventParser(EventHandler* handler, QByteArray lastEventId, double retry,
                qsizetype maxDataBytes = kDefaultStreamLimitBytes);

    // May call onEvent or onComment of the handler before it returns.
    void parseLine(QByteArrayView line);
    // Drops the pending event without dispatching it, and forgets an overflow.
    void reset();

    // An event's data went past the limit; nothing more is read until reset().
    bool overflowed() const { return m_overflowed; }

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
    qsizetype m_maxDataBytes;
    bool m_overflowed = false;
};
