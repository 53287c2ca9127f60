#pragma once

#include "eventsource/EventHandler.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <atomic>
#include <functional>

// Writes every handler call as one line of text, e.g. "event update|data|id",
// "comment  keep-alive", "open", "close", "error 500". Safe to read from another thread.
class RecordingHandler : public EventHandler {
public:
    // Run after each event is recorded, on the stream's thread; set it before the start.
    std::function<void(const MessageEvent&)> whenEvent;

    void onOpen() override { add("open"); }
    void onClose() override { add("close"); }
    void onEvent(const QByteArray& type, const MessageEvent& event) override
    {
        add("event " + type + '|' + event.data + '|' + event.lastEventId);
        if (whenEvent)
            whenEvent(event);
    }
    void onComment(const QByteArray& comment) override { add("comment " + comment); }
    void onError(const EventSourceErrorPtr& error) override
    {
        const auto unsuccessful = std::dynamic_pointer_cast<const UnsuccessfulResponseError>(error);
        add(unsuccessful ? "error " + QByteArray::number(unsuccessful->responseCode()) : "error transport");
    }

    QList<QByteArray> calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    int count(const QByteArray& call) const { return int(calls().count(call)); }
    // Calls that came on the application's main thread.
    int callsOnMainThread() const { return m_onMainThread.load(); }

private:
    void add(const QByteArray& call)
    {
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
            ++m_onMainThread;
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }

    mutable QMutex m_mutex;
    QList<QByteArray> m_calls;
    std::atomic<int> m_onMainThread{0};
};
