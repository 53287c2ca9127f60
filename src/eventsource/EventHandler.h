#pragma once

#include "eventsource/EventSourceError.h"
#include "eventsource/MessageEvent.h"

#include <QByteArray>

// Receiver of everything a stream reports. Every call comes from the stream's own
// thread, one at a time, never from the UI thread: move UI work to the main thread.
class EventHandler {
public:
    virtual ~EventHandler() = default;
    // A response with an accepted status arrived.
    virtual void onOpen() {}
    // A connection that was open ended, or stop() was called while open.
    virtual void onClose() {}
    // An event was dispatched; eventType is "message" unless the stream named one.
    virtual void onEvent(const QByteArray& eventType, const MessageEvent& event) = 0;
    // A comment line; the text after ":" unchanged (a leading space is kept).
    virtual void onComment(const QByteArray& comment) { Q_UNUSED(comment); }
    // A transport error or an unsuccessful response that the connection error handler
    // let through (answered proceed).
    virtual void onError(const EventSourceErrorPtr& error) { Q_UNUSED(error); }
};
