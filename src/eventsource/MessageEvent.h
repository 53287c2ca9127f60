#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

// One dispatched server-sent event. The data stays in UTF-8 (already validated, with
// ill-formed bytes replaced by U+FFFD), so it can go straight to a JSON decoder.
struct MessageEvent {
    QByteArray data;        // the event's data lines joined by "\n"
    QByteArray lastEventId; // the stream's last event id when the event was dispatched

    QString text() const { return QString::fromUtf8(data); }
    QString lastEventIdText() const { return QString::fromUtf8(lastEventId); }

    friend bool operator==(const MessageEvent& a, const MessageEvent& b)
    {
        return a.data == b.data && a.lastEventId == b.lastEventId;
    }
    friend bool operator!=(const MessageEvent& a, const MessageEvent& b) { return !(a == b); }
};

inline size_t qHash(const MessageEvent& event, size_t seed = 0)
{
    return qHashMulti(seed, event.data, event.lastEventId);
}
