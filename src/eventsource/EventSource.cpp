#include "eventsource/EventSource.h"

#include "core/Endpoints.h"
#include "eventsource/EventSourceLog.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <cmath>
#include <limits>
#include <utility>

namespace {

int milliseconds(double seconds)
{
    const double ms = std::ceil(seconds * 1000.0);
    if (!(ms > 0))
        return 0;
    return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
}

bool containsName(const HeaderMap& headers, const QByteArray& name)
{
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Names whose values are keys for the host asked: such a request never follows a
// redirect, which would hand them to whatever host it names.
bool carriesCredentials(const HeaderMap& headers)
{
    return containsName(headers, "Authorization") || containsName(headers, "OpenAI-Organization")
        || containsName(headers, "Api-Key");
}

bool followsRedirects(const QNetworkReply* reply)
{
    // Unset means the manager's policy, which follows.
    const QVariant policy = reply->request().attribute(QNetworkRequest::RedirectPolicyAttribute);
    return !policy.isValid() || policy.toInt() != QNetworkRequest::ManualRedirectPolicy;
}

} // namespace

EventSource::EventSource(Config config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_lineParser(m_config.maxLineBytes)
    , m_eventParser(this, m_config.lastEventId, m_config.reconnectTime, m_config.maxEventDataBytes)
    , m_reconnectionTimer(m_config.maxReconnectTime, m_config.backoffResetThreshold, m_config.clock, m_config.random)
{
    if (!m_config.connectionErrorHandler)
        m_config.connectionErrorHandler = &Config::defaultConnectionErrorHandler;
}

EventSource::~EventSource()
{
    dropReply();
    // Deleted from a slot of the reply's own signal: the reply and its manager must
    // outlive that call, so they go once it is over.
    if (m_network && m_replySignalDepth > 0) {
        m_network->setParent(nullptr);
        m_network->deleteLater();
    }
}

void EventSource::setState(ReadyState state)
{
    if (state == m_readyState)
        return;
    qCDebug(lcEventSource, "State: %s -> %s", readyStateName(m_readyState), readyStateName(state));
    m_readyState = state;
}

void EventSource::start()
{
    if (m_readyState != ReadyState::Raw) {
        qCInfo(lcEventSource, "start() called on already-started EventSource object. Returning");
        return;
    }
    setState(ReadyState::Connecting);
    m_network = new QNetworkAccessManager(this);
    m_network->setTransferTimeout(milliseconds(m_config.idleTimeout));
    connectToServer();
}

void EventSource::stop()
{
    const ReadyState previous = m_readyState;
    setState(ReadyState::Shutdown);
    dropReply();
    if (previous == ReadyState::Open)
        Q_EMIT closed();
}

void EventSource::connectToServer()
{
    if (isStopped())
        return;
    qCInfo(lcEventSource, "Starting EventSource client");
    const QNetworkRequest request = createRequest();
    m_reply = m_config.body ? m_network->sendCustomRequest(request, m_config.method, *m_config.body)
                            : m_network->sendCustomRequest(request, m_config.method);
    m_responded = false;
    // The status comes with the headers, before any body.
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { inReplySignal([this] { respond(); }); });
    connect(m_reply, &QNetworkReply::readyRead, this, [this] { inReplySignal([this] { readChunk(); }); });
    connect(m_reply, &QNetworkReply::finished, this, [this] { inReplySignal([this] { finishReply(); }); });
}

QNetworkRequest EventSource::createRequest() const
{
    QNetworkRequest request(m_config.url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(milliseconds(m_config.idleTimeout));
    if (m_config.url.scheme() == QLatin1String("https"))
        request.setSslConfiguration(m_config.sslConfiguration());

    HeaderMap headers;
    if (!m_eventParser.lastEventId().isEmpty())
        headers.insert("Last-Event-Id", m_eventParser.lastEventId());
    for (auto it = m_config.headers.cbegin(); it != m_config.headers.cend(); ++it)
        headers.insert(it.key(), it.value());
    if (m_config.headerTransform)
        headers = m_config.headerTransform(headers);
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.setRawHeader(it.key(), it.value());
    if (carriesCredentials(headers))
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!containsName(headers, "Accept"))
        request.setRawHeader("Accept", "text/event-stream");
    if (!containsName(headers, "Cache-Control"))
        request.setRawHeader("Cache-Control", "no-cache");
    if (!containsName(headers, "User-Agent"))
        request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());
    return request;
}

template <typename Slot>
void EventSource::inReplySignal(Slot slot)
{
    const QPointer<EventSource> alive(this);
    ++m_replySignalDepth;
    slot();
    if (alive)
        --m_replySignalDepth;
}

void EventSource::respond()
{
    if (m_responded)
        return;
    QNetworkReply* reply = m_reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return; // no response yet
    const int code = status.toInt();
    // A redirect that the transport follows is not the answer; one it may not
    // follow is an unsuccessful answer like any other, at once.
    if (code >= 300 && code < 400 && followsRedirects(reply)
        && reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid() && !reply->isFinished())
        return;
    m_responded = true;
    qCDebug(lcEventSource, "Initial reply received");

    if (code >= 200 && code <= 299 && code != 204) {
        m_reconnectionTimer.connected();
        setState(ReadyState::Open);
        Q_EMIT opened();
        return;
    }

    qCInfo(lcEventSource, "Unsuccessful response: %d", code);
    const EventSourceError error = EventSourceError::unsuccessfulResponse(code);
    if (m_config.connectionErrorHandler(error) == ConnectionErrorAction::Proceed) {
        const QPointer<EventSource> alive(this);
        Q_EMIT failed(error);
        if (!alive || reply != m_reply)
            return;
    } else {
        qCInfo(lcEventSource, "Connection has been explicitly shut down by error handler");
        setState(ReadyState::Shutdown);
    }
    dropReply();
    // Completion comes later, as a cancellation, like any transport's would.
    QMetaObject::invokeMethod(
        this, [this] { completeTask(std::nullopt, true); }, Qt::QueuedConnection);
}

void EventSource::readChunk()
{
    QNetworkReply* reply = m_reply;
    const QPointer<EventSource> alive(this);
    respond();
    if (!alive || reply != m_reply || !m_responded)
        return;
    m_lineParser.append(reply->readAll(), [this](QByteArrayView line) { m_eventParser.parseLine(line); });
    // Handed out only now that both parsers are done with the chunk, so that a slot may
    // stop or delete the stream; nothing of the chunk follows then.
    const QList<Received> received = std::exchange(m_received, {});
    for (const Received& item : received) {
        if (item.isComment)
            Q_EMIT commentReceived(item.event.data);
        else
            Q_EMIT eventReceived(item.event);
        if (!alive || reply != m_reply)
            return;
    }
    std::optional<EventSourceError> overflow;
    if (m_lineParser.overflowed())
        overflow = EventSourceError::limitExceeded(EventSourceError::Limit::Line, m_config.maxLineBytes);
    else if (m_eventParser.overflowed())
        overflow = EventSourceError::limitExceeded(EventSourceError::Limit::EventData, m_config.maxEventDataBytes);
    if (overflow) {
        dropReply();
        completeTask(overflow, false);
    }
}

void EventSource::finishReply()
{
    QNetworkReply* reply = m_reply;
    const QPointer<EventSource> alive(this);
    readChunk(); // what is left, or the response of a reply without a body
    if (!alive || reply != m_reply)
        return; // the response was refused, or the stream stopped
    m_reply = nullptr;
    reply->deleteLater();

    std::optional<EventSourceError> error;
    switch (reply->error()) {
    case QNetworkReply::NoError: break;
    case QNetworkReply::OperationCanceledError:
        // Our own cancellations never get here, so this is the idle timeout firing.
        error = EventSourceError::transport(QNetworkReply::TimeoutError, QStringLiteral("The request timed out."));
        break;
    default: error = EventSourceError::transport(reply->error(), reply->errorString()); break;
    }
    completeTask(error, false);
}

void EventSource::dropReply()
{
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void EventSource::completeTask(const std::optional<EventSourceError>& error, bool cancelled)
{
    m_lineParser.reset();
    m_eventParser.reset();
    m_received.clear();
    if (isStopped())
        return;
    const double baseDelay = m_eventParser.currentRetry();
    const QPointer<EventSource> alive(this);

    if (cancelled) {
        // Asked for by this side: reconnect without asking anyone.
    } else if (error) {
        qCInfo(lcEventSource, "Connection error: %s", qUtf8Printable(error->description));
        if (m_config.connectionErrorHandler(*error) == ConnectionErrorAction::Shutdown) {
            qCInfo(lcEventSource, "Connection has been explicitly shut down by error handler");
            stop();
            return;
        }
        Q_EMIT failed(*error);
        if (!alive || isStopped())
            return;
    } else {
        qCInfo(lcEventSource, "Connection unexpectedly closed.");
    }

    // The state moves first, so a stop() from a slot of closed() finds nothing open to close.
    const bool wasOpen = m_readyState == ReadyState::Open;
    setState(ReadyState::Closed);
    if (wasOpen)
        Q_EMIT closed();
    if (!alive || isStopped())
        return;

    const double delay = m_reconnectionTimer.reconnectDelay(baseDelay);
    qCInfo(lcEventSource, "Waiting %.3f seconds before reconnecting...", delay);
    QTimer::singleShot(milliseconds(delay), this, &EventSource::connectToServer);
}
