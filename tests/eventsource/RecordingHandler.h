#pragma once

#include "eventsource/EventHandler.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <atomic>

// Writes every handler call as one line of text, e.g. "event update|data|id",
// "comment  keep-alive", "open", "close", "error 500". Safe to read from another thread.
class RecordingHandler : public EventHandler {
public:
    void onOpen() override { add("open"); }
    void onClose() override { add("close"); }
    void onEvent(const QByteArray& type, const MessageEvent& event) override
    {
        add("event " + type + '|' + event.data + '|' + event.lastEventId);
    }
    void onComment(const QByteArray& comment) override { add("comment " + comment); }
    void onError(const EventSourceErrorPtr& error) override
    {
        if (auto unsuccessful = std::dynamic_pointer_cast<const UnsuccessfulResponseError>(error))
            add("error " + QByteArray::number(unsuccessful->responseCode()));
        else
            add("error transport");
    }

    QList<QByteArray> calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    int count(const QByteArray& call) const { return int(calls().count(call)); }
    // Calls that came on the application's main thread.
    int callsOnMainThread() const { return m_onMainThread.load(); }

protected:
    void add(const QByteArray& call)
    {
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
            ++m_onMainThread;
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }

private:
    mutable QMutex m_mutex;
    QList<QByteArray> m_calls;
    std::atomic<int> m_onMainThread{0};
};
