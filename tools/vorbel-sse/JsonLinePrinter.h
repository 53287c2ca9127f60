#pragma once

#include "eventsource/EventHandler.h"

#include <QByteArray>
#include <QMutex>

#include <cstdio>
#include <functional>

// Prints one JSON object per line for each handler call. Safe to call from the stream's
// thread while the main thread waits.
class JsonLinePrinter : public EventHandler {
public:
    explicit JsonLinePrinter(std::FILE* out) : m_out(out) {}

    // Called after onClose and onError, e.g. to end a one-shot run.
    std::function<void()> afterEnd;

    void onOpen() override;
    void onClose() override;
    void onEvent(const QByteArray& eventType, const MessageEvent& event) override;
    void onComment(const QByteArray& comment) override;
    void onError(const EventSourceErrorPtr& error) override;

    // A JSON string literal for UTF-8 text.
    static QByteArray quote(const QByteArray& utf8);

private:
    void write(const QByteArray& line);

    std::FILE* m_out;
    QMutex m_mutex;
};
