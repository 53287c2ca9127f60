#pragma once

// A server-sent-events client. It sends one HTTP request, reads the body as an event
// stream, and, when the connection ends without stop(), reconnects after a randomised
// exponential back-off, sending the last event id it saw.
//
//   auto handler = std::make_shared<MyHandler>();        // an EventHandler
//   Config config(handler, QUrl("https://api.example.com/v1/chat/completions"));
//   config.method = "POST";
//   config.body = requestJson;                            // QByteArray
//   config.headers = {{"Authorization", "Bearer " + key}, {"Content-Type", "application/json"}};
//   auto stream = std::make_unique<EventSource>(config);
//   stream->start();
//   ... handler->onEvent(type, event) arrives on the stream's own thread, never on the
//   UI thread; event.data is UTF-8 ready for a JSON decoder ...
//   stream->stop();                                       // from any thread, also a handler
//
// Each stream runs on a thread of its own: the transfer, the parsing, the reconnect timer
// and every handler call happen there, one at a time. start() and stop() return at once
// and take effect on that thread. After stop() returns no further event or comment is
// delivered, except one the stream's thread was already handing over at that moment
// (stop() called from another thread does not wait for it); onClose follows if the
// stream was open, then nothing. A stream starts once: a second start(), or start()
// after stop(), is logged and ignored.
//
// Destroying the EventSource (from any thread, a handler call included) shuts the stream
// down silently: from then on no handler call begins, except, when destroyed from another
// thread, one the stream's thread was already starting; the destructor never waits for
// it. Call stop() first to get onClose. The stream keeps the handler alive (shared
// ownership), so such a late call is safe as long as the handler itself refers only to
// what it owns or checks. The functions in Config (connectionErrorHandler,
// headerTransform) run on the stream's thread and must not refer to anything that may
// die before the stream's thread has let go of them.

#include "eventsource/Config.h"
#include "eventsource/EventHandler.h"
#include "eventsource/EventSourceError.h"
#include "eventsource/MessageEvent.h"
#include "eventsource/ReadyState.h"

#include <QByteArray>

#include <memory>

class EventSourceDelegate;
class QThread;
struct EventSourceShared;

class EventSource {
public:
    explicit EventSource(Config config);
    ~EventSource();
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    void start();
    void stop();

    // The last event id seen so far (or the configured one); safe from any thread.
    QByteArray getLastEventId() const;
    // The state as last set on the stream's thread; safe from any thread.
    ReadyState readyState() const;

private:
    std::shared_ptr<EventSourceShared> m_shared;
    EventSourceDelegate* m_delegate; // lives on m_thread
    QThread* m_thread;
};
