#pragma once

#include "extensions/ToolServerTransport.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QUrl>

class QNetworkReply;

// A server at one HTTP endpoint: every message is a POST, answered by one JSON
// message or an event stream of them. The user's headers go only to that
// endpoint, and a redirect is never followed.
class HttpTransport : public ToolServerTransport {
    Q_OBJECT
public:
    HttpTransport(QUrl url, QList<QPair<QByteArray, QByteArray>> headers, QObject* parent = nullptr);
    ~HttpTransport() override;

    void open() override {}
    void send(const QJsonObject& message) override;
    void close() override;
    void setProtocolVersion(const QString& version) override { m_protocolVersion = version.toUtf8(); }

private:
    void keepSession(QNetworkReply* reply);
    void finish(QNetworkReply* reply, const QJsonValue& id);

    QUrl m_url;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_sessionId;
    QByteArray m_protocolVersion;
    QNetworkAccessManager m_network;
    bool m_closed = false;
};
