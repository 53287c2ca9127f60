#pragma once

#include "eventsource/Config.h"
#include "eventsource/EventParser.h"
#include "eventsource/ReadyState.h"
#include "eventsource/ReconnectionTimer.h"
#include "eventsource/UTF8LineParser.h"

#include <QMutex>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// What the public EventSource and its delegate share across threads.
struct EventSourceShared {
    std::atomic<bool> released{false};      // the EventSource is gone: no more handler calls
    std::atomic<bool> stopRequested{false}; // stop() was called: no more events or comments
    std::atomic<ReadyState> readyState{ReadyState::raw};
    mutable QMutex mutex;
    QByteArray lastEventId; // guarded by mutex
};

// Owns one stream on the stream's thread: the transfer, both parsers, the back-off and
// the state machine. Every member runs on that thread, one call at a time.
class EventSourceDelegate : public QObject {
public:
    EventSourceDelegate(Config config, std::shared_ptr<EventSourceShared> shared);
    ~EventSourceDelegate() override;

    void start();
    void stop();

private:
    class ParserSink;

    void connectToServer();
    QNetworkRequest createRequest() const;
    void onResponse(QNetworkReply* reply);
    void onData(QNetworkReply* reply);
    void onFinished(QNetworkReply* reply);
    void cancelTask();
    // Ends the current transfer on this side as if it had broken with the given error.
    void failTask(QNetworkReply* reply, const EventSourceErrorPtr& error);
    void completeTask(const EventSourceErrorPtr& error, bool cancelled);
    void setState(ReadyState state);
    void publishLastEventId();
    // Runs a stop() that was asked for on another thread and is still queued, so that
    // nothing happens between the request and its turn.
    bool honourStopRequest();

    bool mayCall() const { return !m_shared->released.load(); }

    Config m_config;
    std::shared_ptr<EventSourceShared> m_shared;
    ReadyState m_readyState = ReadyState::raw;
    std::unique_ptr<ParserSink> m_sink;
    UTF8LineParser m_utf8LineParser;
    EventParser m_eventParser;
    ReconnectionTimer m_reconnectionTimer;
    QNetworkAccessManager* m_urlSession = nullptr;
    QNetworkReply* m_sessionTask = nullptr;
    bool m_responded = false; // the current task's response was handled
};
