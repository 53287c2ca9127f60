#pragma once

#include "eventsource/EventHandler.h"
#include "eventsource/EventParser.h"
#include "eventsource/EventSource.h"
#include "eventsource/Utf8LineParser.h"

#include <QByteArray>
#include <QList>

#include <functional>

using Calls = QList<QByteArray>;

// Writes every call of a parser, or signal of a stream, as one line of text, e.g.
// "event update|data|id", "comment  keep-alive", "open", "close", "error 500".
class RecordingHandler : public EventHandler {
public:
    // Run after each event is recorded; set it before the start.
    std::function<void(const MessageEvent&)> whenEvent;

    // Records the signals of `stream` from now on.
    void record(EventSource& stream)
    {
        QObject::connect(&stream, &EventSource::opened, [this] { add("open"); });
        QObject::connect(&stream, &EventSource::closed, [this] { add("close"); });
        QObject::connect(&stream, &EventSource::eventReceived, [this](const MessageEvent& event) { onEvent(event); });
        QObject::connect(&stream, &EventSource::commentReceived, [this](const QByteArray& c) { onComment(c); });
        QObject::connect(&stream, &EventSource::failed, [this](const EventSourceError& error) {
            add(error.responseCode ? "error " + QByteArray::number(error.responseCode) : "error transport");
        });
    }

    void onEvent(const MessageEvent& event) override
    {
        add("event " + event.type + '|' + event.data + '|' + event.lastEventId);
        if (whenEvent)
            whenEvent(event);
    }
    void onComment(const QByteArray& comment) override { add("comment " + comment); }

    const QList<QByteArray>& calls() const { return m_calls; }
    int count(const QByteArray& call) const { return int(m_calls.count(call)); }

private:
    void add(const QByteArray& call) { m_calls.append(call); }

    QList<QByteArray> m_calls;
};

// Feeds chunks through both parsers, as a connection does.
struct ParsedStream {
    explicit ParsedStream(qsizetype limit = kDefaultStreamLimitBytes, const QByteArray& lastEventId = {})
        : lines(limit), events(&handler, lastEventId, 1.0, limit)
    {
    }

    QList<QByteArray> feed(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& chunk : chunks)
            lines.append(chunk, [this](QByteArrayView line) { events.parseLine(line); });
        return handler.calls();
    }
    void reset()
    {
        lines.reset();
        events.reset();
    }

    RecordingHandler handler;
    Utf8LineParser lines;
    EventParser events;
};
