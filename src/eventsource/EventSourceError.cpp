#include "eventsource/EventSourceError.h"

QString UnsuccessfulResponseError::description() const
{
    return QStringLiteral("Unsuccessful response: %1").arg(m_responseCode);
}
