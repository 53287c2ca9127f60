#pragma once

#include "eventsource/EventHandler.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>

#include <cstdio>
#include <functional>
#include <memory>

// Prints one JSON object per line for each handler call. Lines are gathered in a buffer
// and written in large blocks by flush(), so a fast stream costs one write per input
// chunk rather than one per event. Safe to call from the stream's thread while the main
// thread waits.
class JsonLinePrinter : public EventHandler, public std::enable_shared_from_this<JsonLinePrinter> {
public:
    explicit JsonLinePrinter(std::FILE* out) : m_out(out) {}

    // Called after onClose and onError, e.g. to end a one-shot run.
    std::function<void()> afterEnd;

    // For a live stream: flush once the calling thread's event loop is done with the
    // current batch of calls (one network read), so each event shows up promptly.
    void flushAfterEachBatch() { m_flushAfterBatch = true; }
    // Writes out everything printed so far.
    void flush();

    void onOpen() override;
    void onClose() override;
    void onEvent(const QByteArray& eventType, const MessageEvent& event) override;
    void onComment(const QByteArray& comment) override;
    void onError(const EventSourceErrorPtr& error) override;

    // Appends UTF-8 text as a JSON string literal.
    static void appendQuoted(QByteArray& out, QByteArrayView utf8);

private:
    void printed(); // called with m_mutex held after each line
    void flushLocked();

    std::FILE* m_out;
    QMutex m_mutex;
    QByteArray m_buffer;
    bool m_flushAfterBatch = false;
    bool m_flushQueued = false;
};
