#pragma once

#include "eventsource/EventSourceError.h"
#include "eventsource/ReadyState.h"
#include "eventsource/ReconnectionTimer.h"
#include "eventsource/StreamLimits.h"

#include <QByteArray>
#include <QMap>
#include <QSslConfiguration>
#include <QUrl>

#include <functional>
#include <optional>

// Request headers by exact (case-sensitive) name, as the configuration merges them.
using HeaderMap = QMap<QByteArray, QByteArray>;

// Everything a stream needs. Made from a URL; every other field has a default and may
// be changed before the EventSource is made from it.
struct Config {
    explicit Config(QUrl url);

    QUrl url;
    QByteArray method = "GET";
    std::optional<QByteArray> body;
    QByteArray lastEventId; // sent as "Last-Event-Id" when not empty
    HeaderMap headers;      // win over "Last-Event-Id" on the same name
    // Applied last to the complete header map of each request; identity when empty.
    std::function<HeaderMap(const HeaderMap&)> headerTransform;
    double reconnectTime = 1.0;          // seconds; replaced by the stream's "retry" field
    double maxReconnectTime = 30.0;      // upper limit of one wait before jitter
    double backoffResetThreshold = 60.0; // a connection up this long resets the back-off
    double idleTimeout = 300.0;          // seconds without progress before a request fails
    // A longer line, or an event with more data, ends the connection with a
    // limit error, handled like a broken transfer.
    qsizetype maxLineBytes = kDefaultStreamLimitBytes;
    qsizetype maxEventDataBytes = kDefaultStreamLimitBytes;
    // Decides whether to keep reconnecting after an error. By default a 204 response
    // ends the stream and everything else is retried.
    std::function<ConnectionErrorAction(const EventSourceError&)> connectionErrorHandler;

    // For tests: the back-off's clock and random source (see ReconnectionTimer).
    ReconnectionTimer::Clock clock;
    ReconnectionTimer::Random random;

    // TLS settings of the transport, e.g. extra CA certificates. Reading it through
    // sslConfiguration() imposes TLS 1.2 as the minimum.
    void setSslConfiguration(const QSslConfiguration& configuration) { m_ssl = configuration; }
    QSslConfiguration sslConfiguration() const;

    static ConnectionErrorAction defaultConnectionErrorHandler(const EventSourceError& error);

private:
    QSslConfiguration m_ssl = QSslConfiguration::defaultConfiguration();
};
