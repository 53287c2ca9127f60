#pragma once

// A server-sent-events client. It sends one HTTP request, reads the body as an event
// stream, and, when the connection ends without stop(), reconnects after a randomised
// exponential back-off, sending the last event id it saw.
//
//   Config config(QUrl("https://api.example.com/v1/chat/completions"));
//   config.method = "POST";
//   config.body = requestJson;                            // QByteArray
//   config.headers = {{"Authorization", "Bearer " + key}, {"Content-Type", "application/json"}};
//   auto* stream = new EventSource(config, owner);
//   connect(stream, &EventSource::eventReceived, owner, ...);   // event.data is UTF-8 JSON
//   stream->start();
//   ...
//   stream->stop();
//
// It lives on the thread that made it and reads through Qt's asynchronous network
// classes, so every signal comes from that thread's event loop, one at a time. A slot
// may stop the stream, or even delete it: nothing more is emitted after stop(), except
// closed() from stop() itself when the stream was open. Deleting it is silent. A stream
// starts once: a second start(), or start() after stop(), is logged and ignored.

#include "eventsource/Config.h"
#include "eventsource/EventHandler.h"
#include "eventsource/EventParser.h"
#include "eventsource/EventSourceError.h"
#include "eventsource/MessageEvent.h"
#include "eventsource/ReadyState.h"
#include "eventsource/ReconnectionTimer.h"
#include "eventsource/Utf8LineParser.h"

#include <QList>
#include <QNetworkRequest>
#include <QObject>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

class EventSource : public QObject, private EventHandler {
    Q_OBJECT
public:
    explicit EventSource(Config config, QObject* parent = nullptr);
    ~EventSource() override;

    void start();
    void stop();

    // The last event id seen so far, or the configured one.
    const QByteArray& lastEventId() const { return m_eventParser.lastEventId(); }
    ReadyState readyState() const { return m_readyState; }

Q_SIGNALS:
    // A response with an accepted status arrived.
    void opened();
    void eventReceived(const MessageEvent& event);
    void commentReceived(const QByteArray& comment);
    // A broken transfer or an unsuccessful response that the connection error handler
    // let through (answered Proceed).
    void failed(const EventSourceError& error);
    // A connection that was open ended, or stop() was called while open.
    void closed();

private:
    // What the parsers found in one chunk, handed out once they are done with it.
    struct Received {
        bool isComment;
        MessageEvent event; // a comment's text is in data
    };

    void onEvent(const MessageEvent& event) override { m_received.append(Received{false, event}); }
    void onComment(const QByteArray& comment) override { m_received.append(Received{true, {{}, comment, {}}}); }

    void connectToServer();
    QNetworkRequest createRequest() const;
    // Runs a slot of the current reply's signals, in which the stream may be deleted.
    template <typename Slot>
    void inReplySignal(Slot slot);
    void respond();
    void readChunk();
    void finishReply();
    // Lets go of the current reply without hearing from it again.
    void dropReply();
    void completeTask(const std::optional<EventSourceError>& error, bool cancelled);
    void setState(ReadyState state);
    bool isStopped() const { return m_readyState == ReadyState::Shutdown; }

    Config m_config;
    ReadyState m_readyState = ReadyState::Raw;
    Utf8LineParser m_lineParser;
    EventParser m_eventParser;
    QList<Received> m_received;
    ReconnectionTimer m_reconnectionTimer;
    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    bool m_responded = false; // the current reply's response was handled
    int m_replySignalDepth = 0;
};
