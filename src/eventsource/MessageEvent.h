#pragma once

#include <QByteArray>

// One dispatched server-sent event. The data stays in UTF-8 (already validated, with
// ill-formed bytes replaced by U+FFFD), so it can go straight to a JSON decoder.
struct MessageEvent {
    QByteArray type;        // "message" unless the stream named another
    QByteArray data;        // the event's data lines joined by "\n"
    QByteArray lastEventId; // the stream's last event id when the event was dispatched
};
