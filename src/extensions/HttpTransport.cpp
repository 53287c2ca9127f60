#include "extensions/HttpTransport.h"

#include "core/Endpoints.h"
#include "eventsource/EventHandler.h"
#include "eventsource/EventParser.h"
#include "eventsource/Utf8LineParser.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace {

bool isEventStream(QNetworkReply* reply)
{
    return reply->header(QNetworkRequest::ContentTypeHeader).toString().startsWith(QLatin1String("text/event-stream"));
}

// Reads one event-stream answer as it arrives; every event's data is a message.
class MessageStream : public EventHandler {
public:
    explicit MessageStream(std::function<void(const QByteArray&)> deliver)
        : m_deliver(std::move(deliver))
    {
    }
    void onEvent(const MessageEvent& event) override { m_deliver(event.data); }

    // False once the stream outgrew the limit.
    bool feed(const QByteArray& bytes)
    {
        m_lines.append(bytes, [this](QByteArrayView line) { m_parser.parseLine(line); });
        return !m_lines.overflowed() && !m_parser.overflowed();
    }

private:
    std::function<void(const QByteArray&)> m_deliver;
    Utf8LineParser m_lines{maxToolServerMessageBytes};
    EventParser m_parser{this, QByteArray(), 0, maxToolServerMessageBytes};
};

} // namespace

HttpTransport::HttpTransport(QUrl url, QList<QPair<QByteArray, QByteArray>> headers, QObject* parent)
    : ToolServerTransport(parent)
    , m_url(std::move(url))
    , m_headers(std::move(headers))
{
}

HttpTransport::~HttpTransport() { close(); }

void HttpTransport::send(const QJsonObject& message)
{
    if (m_closed)
        return;
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());
    for (const auto& [name, value] : m_headers)
        request.setRawHeader(name, value);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("Accept", "application/json, text/event-stream");
    if (!m_sessionId.isEmpty())
        request.setRawHeader("Mcp-Session-Id", m_sessionId);
    if (!m_protocolVersion.isEmpty())
        request.setRawHeader("MCP-Protocol-Version", m_protocolVersion);

    QNetworkReply* reply = m_network.post(request, QJsonDocument(message).toJson(QJsonDocument::Compact));
    const QJsonValue id = message.value(QStringLiteral("id"));
    auto stream = std::make_shared<MessageStream>([this](const QByteArray& data) {
        const QJsonDocument document = QJsonDocument::fromJson(data);
        if (document.isObject())
            Q_EMIT received(document.object());
    });
    auto body = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, stream, body, id] {
        keepSession(reply);
        const QByteArray bytes = reply->readAll();
        const bool fits = isEventStream(reply) ? stream->feed(bytes)
                                               : (body->append(bytes), body->size() <= maxToolServerMessageBytes);
        if (!fits) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
            Q_EMIT requestFailed(id, QStringLiteral("The answer was larger than the limit"));
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, id] {
        keepSession(reply);
        if (!isEventStream(reply) && reply->error() == QNetworkReply::NoError) {
            body->append(reply->readAll());
            const QJsonDocument document = QJsonDocument::fromJson(*body);
            if (document.isObject())
                Q_EMIT received(document.object());
        }
        finish(reply, id);
    });
}

// Before any message of the answer is handled: the next request must carry it.
void HttpTransport::keepSession(QNetworkReply* reply)
{
    const QByteArray session = reply->rawHeader("Mcp-Session-Id");
    if (!session.isEmpty() && session.size() <= 1024)
        m_sessionId = session;
}

void HttpTransport::finish(QNetworkReply* reply, const QJsonValue& id)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404 && reply->request().hasRawHeader("Mcp-Session-Id")) {
        Q_EMIT ended(QStringLiteral("the server ended the session"));
        return;
    }
    if (id.isUndefined())
        return; // a notification or a response: nothing comes back
    if (status >= 300 && status < 400)
        Q_EMIT requestFailed(id, QStringLiteral("the server answered with a redirect, which is not followed"));
    else if (status >= 400)
        Q_EMIT requestFailed(id, QStringLiteral("the server answered with HTTP status %1").arg(status));
    else if (reply->error() != QNetworkReply::NoError)
        Q_EMIT requestFailed(id, reply->errorString());
    else
        Q_EMIT requestFailed(id, QStringLiteral("the answer ended without a reply")); // ignored once answered
}

void HttpTransport::close()
{
    m_closed = true;
    const QList<QNetworkReply*> replies = m_network.findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
}
