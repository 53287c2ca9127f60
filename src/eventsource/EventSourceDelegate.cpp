#include "eventsource/EventSourceDelegate.h"

#include "core/Endpoints.h"
#include "eventsource/Logs.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <chrono>
#include <cmath>

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

void info(const QString& message)
{
    Logs::log(Logs::Level::info, message);
}

} // namespace

// Receives the parser's events and comments and hands them on while the stream may
// still talk to the application.
class EventSourceDelegate::ParserSink : public EventHandler {
public:
    explicit ParserSink(EventSourceDelegate* owner) : m_owner(owner) {}

    void onEvent(const QByteArray& eventType, const MessageEvent& event) override
    {
        m_owner->publishLastEventId();
        if (m_owner->mayCall() && !m_owner->m_shared->stopRequested.load())
            m_owner->m_config.handler->onEvent(eventType, event);
    }
    void onComment(const QByteArray& comment) override
    {
        if (m_owner->mayCall() && !m_owner->m_shared->stopRequested.load())
            m_owner->m_config.handler->onComment(comment);
    }

private:
    EventSourceDelegate* m_owner;
};

EventSourceDelegate::EventSourceDelegate(Config config, std::shared_ptr<EventSourceShared> shared)
    : m_config(std::move(config)),
      m_shared(std::move(shared)),
      m_sink(std::make_unique<ParserSink>(this)),
      m_utf8LineParser(m_config.maxLineBytes),
      m_eventParser(m_sink.get(), m_config.lastEventId, m_config.reconnectTime, m_config.maxEventDataBytes),
      m_reconnectionTimer(m_config.maxReconnectTime, m_config.backoffResetThreshold, m_config.clock,
                          m_config.random)
{
    if (!m_config.connectionErrorHandler)
        m_config.connectionErrorHandler = &Config::defaultConnectionErrorHandler;
}

EventSourceDelegate::~EventSourceDelegate() = default;

void EventSourceDelegate::setState(ReadyState state)
{
    if (state == m_readyState)
        return;
    Logs::log(Logs::Level::debug,
              QStringLiteral("State: %1 -> %2")
                  .arg(QLatin1String(readyStateName(m_readyState)), QLatin1String(readyStateName(state))));
    m_readyState = state;
    m_shared->readyState.store(state);
}

void EventSourceDelegate::publishLastEventId()
{
    const QByteArray& id = m_eventParser.lastEventId();
    QMutexLocker lock(&m_shared->mutex);
    if (m_shared->lastEventId != id)
        m_shared->lastEventId = id;
}

bool EventSourceDelegate::honourStopRequest()
{
    if (m_shared->stopRequested.load() && m_readyState != ReadyState::shutdown)
        stop();
    return m_readyState == ReadyState::shutdown;
}

void EventSourceDelegate::start()
{
    if (m_readyState == ReadyState::raw && m_shared->stopRequested.load()) {
        stop(); // stopped before it began: send nothing
        return;
    }
    if (m_readyState != ReadyState::raw) {
        info(QStringLiteral("start() called on already-started EventSource object. Returning"));
        return;
    }
    setState(ReadyState::connecting);
    m_urlSession = new QNetworkAccessManager(this);
    m_urlSession->setTransferTimeout(milliseconds(m_config.idleTimeout));
    connectToServer();
}

void EventSourceDelegate::connectToServer()
{
    info(QStringLiteral("Starting EventSource client"));
    if (!m_urlSession) {
        m_sessionTask = nullptr;
        return;
    }
    const QNetworkRequest request = createRequest();
    QNetworkReply* reply = m_config.body
        ? m_urlSession->sendCustomRequest(request, m_config.method, *m_config.body)
        : m_urlSession->sendCustomRequest(request, m_config.method);
    m_sessionTask = reply;
    m_responded = false;
    // The status comes with the headers, before any body.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { onResponse(reply); });
    QObject::connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onData(reply); });
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
}

QNetworkRequest EventSourceDelegate::createRequest() const
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

void EventSourceDelegate::onResponse(QNetworkReply* reply)
{
    if (reply != m_sessionTask || m_responded)
        return;
    if (honourStopRequest())
        return;
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
    Logs::log(Logs::Level::debug, QStringLiteral("Initial reply received"));

    if (code >= 200 && code <= 299 && code != 204) {
        m_reconnectionTimer.connected();
        setState(ReadyState::open);
        if (mayCall())
            m_config.handler->onOpen();
        return;
    }

    info(QStringLiteral("Unsuccessful response: %1").arg(code));
    const EventSourceErrorPtr error = std::make_shared<UnsuccessfulResponseError>(code);
    if (m_config.connectionErrorHandler(error) == ConnectionErrorAction::proceed) {
        if (mayCall())
            m_config.handler->onError(error);
    } else {
        info(QStringLiteral("Connection has been explicitly shut down by error handler"));
        setState(ReadyState::shutdown);
    }
    if (reply == m_sessionTask)
        cancelTask();
}

void EventSourceDelegate::onData(QNetworkReply* reply)
{
    if (reply != m_sessionTask || honourStopRequest())
        return;
    if (!m_responded)
        onResponse(reply);
    if (reply != m_sessionTask || !m_responded)
        return;
    const QByteArray chunk = reply->readAll();
    m_utf8LineParser.append(chunk, [this](QByteArrayView line) { m_eventParser.parseLine(line); });
    publishLastEventId();
    if (m_utf8LineParser.overflowed())
        failTask(reply, std::make_shared<StreamLimitError>(StreamLimitError::Part::line, m_config.maxLineBytes));
    else if (m_eventParser.overflowed())
        failTask(reply, std::make_shared<StreamLimitError>(StreamLimitError::Part::eventData, m_config.maxEventDataBytes));
}

void EventSourceDelegate::onFinished(QNetworkReply* reply)
{
    if (reply != m_sessionTask || honourStopRequest())
        return;
    if (reply->bytesAvailable() > 0)
        onData(reply);
    else if (!m_responded)
        onResponse(reply);
    if (reply != m_sessionTask)
        return; // the response was refused and the task cancelled
    m_sessionTask = nullptr;
    reply->deleteLater();

    EventSourceErrorPtr error;
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:
        // Our own cancellations never get here, so this is the idle timeout firing.
        error = std::make_shared<StreamTransportError>(QNetworkReply::TimeoutError,
                                                 QStringLiteral("The request timed out."));
        break;
    default:
        error = std::make_shared<StreamTransportError>(reply->error(), reply->errorString());
        break;
    }
    completeTask(error, false);
}

void EventSourceDelegate::cancelTask()
{
    QNetworkReply* reply = m_sessionTask;
    m_sessionTask = nullptr;
    if (!reply)
        return;
    QObject::disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    // Completion comes later, as a cancellation, like any transport's would.
    QMetaObject::invokeMethod(this, [this] { completeTask(nullptr, true); }, Qt::QueuedConnection);
}

void EventSourceDelegate::failTask(QNetworkReply* reply, const EventSourceErrorPtr& error)
{
    m_sessionTask = nullptr;
    QObject::disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    completeTask(error, false);
}

void EventSourceDelegate::completeTask(const EventSourceErrorPtr& error, bool cancelled)
{
    m_utf8LineParser.reset();
    m_eventParser.reset();
    const double baseDelay = m_eventParser.currentRetry();
    if (honourStopRequest())
        return;

    if (cancelled) {
        // Asked for by this side: reconnect without asking anyone.
    } else if (error) {
        info(QStringLiteral("Connection error: %1").arg(error->description()));
        if (m_config.connectionErrorHandler(error) == ConnectionErrorAction::shutdown) {
            info(QStringLiteral("Connection has been explicitly shut down by error handler"));
            const bool wasOpen = m_readyState == ReadyState::open;
            setState(ReadyState::shutdown);
            if (wasOpen && mayCall())
                m_config.handler->onClose();
            return;
        }
        if (mayCall())
            m_config.handler->onError(error);
    } else {
        info(QStringLiteral("Connection unexpectedly closed."));
    }

    if (honourStopRequest())
        return;
    // The state moves first, so a stop() from inside onClose finds nothing open to close.
    const bool wasOpen = m_readyState == ReadyState::open;
    setState(ReadyState::closed);
    if (wasOpen && mayCall())
        m_config.handler->onClose();
    if (honourStopRequest())
        return;

    const double delay = m_reconnectionTimer.reconnectDelay(baseDelay);
    info(QString::asprintf("Waiting %.3f seconds before reconnecting...", delay));
    QTimer::singleShot(milliseconds(delay), this, [this] {
        honourStopRequest();
        connectToServer(); // sends nothing once stopped
    });
}

void EventSourceDelegate::stop()
{
    if (m_readyState == ReadyState::shutdown && !m_urlSession && !m_sessionTask)
        return; // already done
    const ReadyState previous = m_readyState;
    if (previous != ReadyState::shutdown)
        setState(ReadyState::shutdown);
    cancelTask();
    if (previous == ReadyState::open && mayCall())
        m_config.handler->onClose();
    if (m_urlSession) {
        m_urlSession->deleteLater();
        m_urlSession = nullptr;
    }
}
