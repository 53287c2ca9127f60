#pragma once

#include "eventsource/MessageEvent.h"

#include <QByteArray>

// Receiver of what an EventParser reads, called before parseLine() returns.
class EventHandler {
public:
    virtual ~EventHandler() = default;
    virtual void onEvent(const MessageEvent& event) = 0;
    // A comment line; the text after ":" unchanged (a leading space is kept).
    virtual void onComment(const QByteArray& comment) { Q_UNUSED(comment); }
};
