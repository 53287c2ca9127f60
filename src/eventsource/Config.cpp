#include "eventsource/Config.h"

Config::Config(std::shared_ptr<EventHandler> handler, QUrl url)
    : handler(std::move(handler)), url(std::move(url)), connectionErrorHandler(&Config::defaultConnectionErrorHandler)
{
}

QSslConfiguration Config::sslConfiguration() const
{
    QSslConfiguration copy = m_ssl;
    const QSsl::SslProtocol protocol = copy.protocol();
    if (protocol != QSsl::TlsV1_3 && protocol != QSsl::TlsV1_3OrLater && protocol != QSsl::TlsV1_2
        && protocol != QSsl::TlsV1_2OrLater)
        copy.setProtocol(QSsl::TlsV1_2OrLater);
    return copy;
}

ConnectionErrorAction Config::defaultConnectionErrorHandler(const EventSourceErrorPtr& error)
{
    if (const auto unsuccessful = std::dynamic_pointer_cast<const UnsuccessfulResponseError>(error))
        if (unsuccessful->responseCode() == 204)
            return ConnectionErrorAction::shutdown;
    return ConnectionErrorAction::proceed;
}
