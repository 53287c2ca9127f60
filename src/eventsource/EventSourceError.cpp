#include "eventsource/EventSourceError.h"

#include <QNetworkReply>

QString UnsuccessfulResponseError::description() const
{
    return QStringLiteral("Unsuccessful response: %1").arg(m_responseCode);
}

StreamLimitError::StreamLimitError(Part part, qsizetype limit)
    : StreamTransportError(QNetworkReply::ProtocolFailure,
                           (part == Part::line ? QStringLiteral("The event stream sent a line longer than %1 bytes.")
                                               : QStringLiteral("The event stream sent an event of more than %1 bytes."))
                               .arg(limit))
{
}
