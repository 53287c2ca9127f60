#include "extensions/ToolServerClient.h"

#include "extensions/ExtensionsLog.h"
#include "extensions/HttpTransport.h"
#include "extensions/LoginEnvironment.h"
#include "extensions/StdioTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>

namespace {

const QString protocolVersion = QStringLiteral("2025-11-25");
const QStringList acceptedVersions{protocolVersion, QStringLiteral("2025-06-18"), QStringLiteral("2025-03-26")};
constexpr int maxToolPages = 100;
constexpr int maxTools = 1000;
constexpr int maxErrorTextLength = 1000;

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

QString errorMessage(const QJsonObject& response)
{
    return response.value(QStringLiteral("error"))
        .toObject()
        .value(QStringLiteral("message"))
        .toString()
        .left(maxErrorTextLength)
        .simplified();
}

} // namespace

ToolServerClient::ToolServerClient(ToolServerEntry entry, QObject* parent)
    : QObject(parent)
    , m_entry(std::move(entry))
{
    m_initializeTimer.setSingleShot(true);
    m_initializeTimer.setInterval(initializeTimeoutMs);
    connect(&m_initializeTimer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no answer to the handshake within %1 s").arg(initializeTimeoutMs / 1000)); });
    // A chatty server's log is announced at most every tenth of a second.
    m_announceTimer.setSingleShot(true);
    m_announceTimer.setInterval(100);
    connect(&m_announceTimer, &QTimer::timeout, this, &ToolServerClient::changed);
    if (!m_entry.problem.isEmpty()) {
        m_state = State::Failed;
        m_failure = m_entry.problem;
    }
}

ToolServerClient::~ToolServerClient()
{
    endSession();
    // A worker may be waiting for one of these.
    finishCalls(QStringLiteral("Tool server \"%1\" was removed").arg(m_entry.name));
}

QString ToolServerClient::statusText() const
{
    switch (m_state) {
    case State::Connected:
        return m_tools.size() == 1 ? QStringLiteral("Connected · 1 tool")
                                   : QStringLiteral("Connected · %1 tools").arg(m_tools.size());
    case State::Starting: return QStringLiteral("Starting…");
    case State::Failed: return QStringLiteral("Failed: ") + m_failure;
    case State::Stopped: break;
    }
    return m_entry.enabled ? QStringLiteral("Stopped") : QStringLiteral("Disabled");
}

void ToolServerClient::setFlags(bool enabled, bool askBeforeCall)
{
    const bool disabled = m_entry.enabled && !enabled;
    m_entry.enabled = enabled;
    m_entry.askBeforeCall = askBeforeCall;
    if (disabled)
        stop();
    else
        Q_EMIT changed();
}

void ToolServerClient::start()
{
    if (m_state == State::Starting || m_state == State::Connected || !m_entry.problem.isEmpty())
        return;
    if (m_startedBefore) {
        const qint64 now = monotonicMs();
        m_restartTimes.removeIf([now](qint64 at) { return now - at >= 60000; });
        if (m_restartTimes.size() >= maxRestartsPerMinute) {
            QString reason = QStringLiteral("ended %1 times within a minute").arg(maxRestartsPerMinute + 1);
            if (!m_log.isEmpty())
                reason += QStringLiteral("; last lines: ")
                        + m_log.mid(std::max<qsizetype>(0, m_log.size() - 3)).join(QStringLiteral(" | "));
            fail(reason);
            return;
        }
        m_restartTimes.append(now);
    }
    m_startedBefore = true;
    ++m_session;
    m_state = State::Starting;
    m_failure.clear();
    Q_EMIT changed();
    if (m_entry.isHttp()) {
        begin(new HttpTransport(m_entry.url, m_entry.headers, this));
        return;
    }
    LoginEnvironment::whenReady(this, [this, session = m_session](QProcessEnvironment environment) {
        if (session != m_session)
            return;
        for (const auto& [name, value] : m_entry.env)
            environment.insert(name, value);
        begin(new StdioTransport(m_entry.command, m_entry.args, environment, this));
    });
}

void ToolServerClient::reconnect()
{
    endSession();
    m_restartTimes.clear();
    m_startedBefore = false;
    m_state = State::Stopped;
    start();
}

void ToolServerClient::stop()
{
    endSession();
    finishCalls(QStringLiteral("Tool server \"%1\" was stopped").arg(m_entry.name));
    if (m_entry.problem.isEmpty()) {
        m_state = State::Stopped;
        m_failure.clear();
    }
    Q_EMIT changed();
}

void ToolServerClient::begin(ToolServerTransport* transport)
{
    m_transport = transport;
    connect(transport, &ToolServerTransport::received, this, &ToolServerClient::receive);
    connect(transport, &ToolServerTransport::ended, this, &ToolServerClient::fail);
    connect(transport, &ToolServerTransport::logLine, this, &ToolServerClient::addLogLine);
    connect(transport, &ToolServerTransport::requestFailed, this, [this](const QJsonValue& id, const QString& reason) {
        if (const Answer answer = m_pending.take(id.toInteger()))
            answer({{QStringLiteral("error"), QJsonObject{{QStringLiteral("message"), reason}}}});
    });
    transport->open();
    m_initializeTimer.start();
    request(QStringLiteral("initialize"),
            {{QStringLiteral("protocolVersion"), protocolVersion},
             {QStringLiteral("capabilities"), QJsonObject()},
             {QStringLiteral("clientInfo"),
              QJsonObject{{QStringLiteral("name"), QStringLiteral("Vorbel")},
                          {QStringLiteral("version"), QCoreApplication::applicationVersion()}}}},
            [this](const QJsonObject& response) { initialized(response); });
}

void ToolServerClient::request(const QString& method, const QJsonObject& params, const Answer& answer, qint64 id)
{
    if (id == 0)
        id = m_nextId++;
    m_pending.insert(id, answer);
    m_transport->send({{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                       {QStringLiteral("id"), id},
                       {QStringLiteral("method"), method},
                       {QStringLiteral("params"), params}});
}

void ToolServerClient::notify(const QString& method, const QJsonObject& params)
{
    QJsonObject message{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")}, {QStringLiteral("method"), method}};
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    m_transport->send(message);
}

void ToolServerClient::initialized(const QJsonObject& response)
{
    if (response.contains(QStringLiteral("error"))) {
        QString reason = QStringLiteral("the handshake failed: ") + errorMessage(response);
        const QJsonArray supported = response.value(QStringLiteral("error"))
                                         .toObject()
                                         .value(QStringLiteral("data"))
                                         .toObject()
                                         .value(QStringLiteral("supported"))
                                         .toArray();
        if (!supported.isEmpty()) {
            QStringList versions;
            for (const auto& version : supported)
                versions.append(version.toString().left(40));
            reason += QStringLiteral(" (it speaks %1)").arg(versions.join(QStringLiteral(", ")));
        }
        fail(reason);
        return;
    }
    const QString version =
        response.value(QStringLiteral("result")).toObject().value(QStringLiteral("protocolVersion")).toString();
    if (!acceptedVersions.contains(version)) {
        fail(QStringLiteral("the server speaks protocol version \"%1\", which Vorbel does not").arg(version.left(40)));
        return;
    }
    m_transport->setProtocolVersion(version);
    notify(QStringLiteral("notifications/initialized"));
    listTools(QString(), {}, 1);
}

void ToolServerClient::listTools(const QString& cursor, QList<ServerTool> collected, int page)
{
    m_listing = true;
    QJsonObject params;
    if (!cursor.isEmpty())
        params.insert(QStringLiteral("cursor"), cursor);
    request(QStringLiteral("tools/list"), params, [this, collected, page](const QJsonObject& response) mutable {
        if (response.contains(QStringLiteral("error"))) {
            fail(QStringLiteral("the tools could not be listed: ") + errorMessage(response));
            return;
        }
        const QJsonObject result = response.value(QStringLiteral("result")).toObject();
        for (const auto& value : result.value(QStringLiteral("tools")).toArray()) {
            if (collected.size() >= maxTools)
                break;
            const std::optional<ServerTool> tool = serverToolFromJson(value);
            const bool known = tool
                            && std::any_of(collected.begin(), collected.end(),
                                           [&tool](const ServerTool& other) { return other.name == tool->name; });
            if (tool && !known)
                collected.append(*tool);
        }
        const QString next = result.value(QStringLiteral("nextCursor")).toString();
        if (!next.isEmpty() && page < maxToolPages && collected.size() < maxTools) {
            listTools(next, std::move(collected), page + 1);
            return;
        }
        m_listing = false;
        m_tools = std::move(collected);
        if (m_state == State::Starting) {
            m_initializeTimer.stop();
            m_state = State::Connected;
            for (const QueuedCall& call : std::exchange(m_queued, {}))
                sendCall(call);
        }
        Q_EMIT changed();
    });
}

void ToolServerClient::receive(const QJsonObject& message)
{
    const QString method = message.value(QStringLiteral("method")).toString();
    const QJsonValue id = message.value(QStringLiteral("id"));
    if (method.isEmpty()) {
        if (const Answer answer = m_pending.take(id.toInteger(-1)))
            answer(message);
        return;
    }
    if (!id.isUndefined() && !id.isNull()) {
        // The only request a tools-only client answers is ping.
        QJsonObject reply{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")}, {QStringLiteral("id"), id}};
        if (method == QLatin1String("ping"))
            reply.insert(QStringLiteral("result"), QJsonObject());
        else
            reply.insert(QStringLiteral("error"),
                         QJsonObject{{QStringLiteral("code"), -32601},
                                     {QStringLiteral("message"), QStringLiteral("Method not found")}});
        m_transport->send(reply);
        return;
    }
    if (method == QLatin1String("notifications/tools/list_changed") && m_state == State::Connected && !m_listing)
        listTools(QString(), {}, 1);
}

qint64 ToolServerClient::call(const QString& tool, const QJsonObject& arguments, const Done& done)
{
    const qint64 id = m_nextId++;
    m_calls.insert(id, done);
    const QueuedCall call{id, tool, arguments};
    if (m_state == State::Connected) {
        sendCall(call);
        return id;
    }
    m_queued.append(call);
    start();
    return id;
}

void ToolServerClient::sendCall(const QueuedCall& call)
{
    request(
        QStringLiteral("tools/call"),
        {{QStringLiteral("name"), call.tool}, {QStringLiteral("arguments"), call.arguments}},
        [this, id = call.id](const QJsonObject& response) {
            const Done done = m_calls.take(id);
            if (!done)
                return;
            if (response.contains(QStringLiteral("error")))
                done(QStringLiteral("Tool call failed: ") + errorMessage(response));
            else
                done(toolResultText(response.value(QStringLiteral("result")).toObject()));
        },
        call.id);
}

void ToolServerClient::cancel(qint64 callId, const QString& reason)
{
    m_calls.remove(callId);
    m_queued.removeIf([callId](const QueuedCall& call) { return call.id == callId; });
    if (m_pending.remove(callId) && m_transport)
        notify(QStringLiteral("notifications/cancelled"),
               {{QStringLiteral("requestId"), callId}, {QStringLiteral("reason"), reason}});
}

void ToolServerClient::fail(const QString& reason)
{
    qCInfo(lcExtensions) << "Tool server" << m_entry.name << "failed:" << reason;
    endSession();
    m_state = State::Failed;
    m_failure = reason;
    finishCalls(QStringLiteral("Tool server \"%1\" failed: %2").arg(m_entry.name, reason));
    Q_EMIT changed();
}

void ToolServerClient::endSession()
{
    ++m_session;
    m_initializeTimer.stop();
    m_pending.clear();
    m_listing = false;
    if (ToolServerTransport* transport = m_transport.data()) {
        m_transport.clear();
        transport->disconnect(this);
        transport->close();
        transport->deleteLater();
    }
}

void ToolServerClient::finishCalls(const QString& text)
{
    m_queued.clear();
    for (const Done& done : std::exchange(m_calls, {}))
        done(text);
}

void ToolServerClient::addLogLine(const QString& line)
{
    m_log.append(line.left(1000));
    if (m_log.size() > keptLogLines)
        m_log.remove(0, m_log.size() - keptLogLines);
    if (!m_announceTimer.isActive())
        m_announceTimer.start();
}
