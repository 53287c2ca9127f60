#include "eventsource/Config.h"

Config::Config(QUrl url)
    : url(std::move(url))
    , connectionErrorHandler(&Config::defaultConnectionErrorHandler)
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

ConnectionErrorAction Config::defaultConnectionErrorHandler(const EventSourceError& error)
{
    return error.responseCode == 204 ? ConnectionErrorAction::Shutdown : ConnectionErrorAction::Proceed;
}
