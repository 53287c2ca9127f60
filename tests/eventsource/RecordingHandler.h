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

    RecordingHandler() = default;
    // Records the signals of `stream` from now on.
    explicit RecordingHandler(EventSource& stream)
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

    void add(const QByteArray& call) { calls.append(call); }
    Calls calls;
};

// Feeds chunks through both parsers, as a connection does.
struct ParsedStream {
    explicit ParsedStream(qsizetype limit = kDefaultStreamLimitBytes, const QByteArray& lastEventId = {})
        : lines(limit)
        , events(&handler, lastEventId, 1.0, limit)
    {
    }

    Calls feed(const QList<QByteArray>& chunks)
    {
        for (const QByteArray& chunk : chunks)
            lines.append(chunk, [this](QByteArrayView line) { events.parseLine(line); });
        return handler.calls;
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
