#pragma once

#include "eventsource/EventHandler.h"
#include "eventsource/EventSourceError.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdio>

// Prints one JSON object per line for each event, comment and change of the stream.
// Lines are gathered in a buffer and written in large blocks by flush(), so a fast
// stream costs one write per input chunk rather than one per event.
class JsonLinePrinter : public EventHandler {
public:
    explicit JsonLinePrinter(std::FILE* out)
        : m_out(out)
    {
    }

    // For a live stream: flush once the event loop is done with the current batch of
    // calls (one network read), so each event shows up promptly. The printer must then
    // outlive the event loop.
    void flushAfterEachBatch() { m_flushAfterBatch = true; }
    // Writes out everything printed so far.
    void flush();

    void onEvent(const MessageEvent& event) override;
    void onComment(const QByteArray& comment) override;
    // These three write out at once.
    void printOpened();
    void printClosed();
    void printError(const EventSourceError& error);

    // Appends UTF-8 text as a JSON string literal.
    static void appendQuoted(QByteArray& out, QByteArrayView utf8);

private:
    void printed(); // called after each line

    std::FILE* m_out;
    QByteArray m_buffer;
    bool m_flushAfterBatch = false;
    bool m_flushQueued = false;
};
