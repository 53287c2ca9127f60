#include "eventsource/EventSourceError.h"

#include <QNetworkReply>

EventSourceError EventSourceError::unsuccessfulResponse(int status)
{
    return {status, 0, QStringLiteral("Unsuccessful response: %1").arg(status)};
}

EventSourceError EventSourceError::transport(int networkError, QString description)
{
    return {0, networkError, std::move(description)};
}

EventSourceError EventSourceError::limitExceeded(Limit limit, qsizetype bytes)
{
    return transport(QNetworkReply::ProtocolFailure,
                     (limit == Limit::Line ? QStringLiteral("The event stream sent a line longer than %1 bytes.")
                                           : QStringLiteral("The event stream sent an event of more than %1 bytes."))
                         .arg(bytes));
}
