#include "extensions/ToolServerManager.h"

#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionRegistry.h"
#include "extensions/FunctionArguments.h"
#include "extensions/FunctionStop.h"
#include "extensions/StdioTransport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <memory>

namespace {

// The meeting point of a worker waiting for a call and the UI thread running it.
class CallWait {
public:
    // The first text wins; later ones (a late answer after a stop) are dropped.
    void finish(const QString& text)
    {
        QMutexLocker lock(&m_mutex);
        if (m_text)
            return;
        m_text = text;
        m_done.wakeAll();
    }
    bool isFinished() const
    {
        QMutexLocker lock(&m_mutex);
        return m_text.has_value();
    }
    std::optional<QString> waitFor(int ms)
    {
        QMutexLocker lock(&m_mutex);
        const QDeadlineTimer deadline(ms);
        while (!m_text && m_done.wait(&m_mutex, deadline)) {}
        return m_text;
    }

    // Read and written on the UI thread only.
    qint64 callId = 0;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_done;
    std::optional<QString> m_text;
};

bool sameServer(const ToolServerEntry& a, const ToolServerEntry& b)
{
    return a.command == b.command && a.args == b.args && a.env == b.env && a.url == b.url && a.headers == b.headers
        && a.problem == b.problem;
}

// The model's arguments: none or blank stand for an empty object.
std::optional<QJsonObject> argumentObject(const std::optional<QString>& text)
{
    if (!text || text->trimmed().isEmpty())
        return QJsonObject();
    return decodeArgumentObject(*text);
}

const QString notAnObjectText = QStringLiteral("The arguments are not a JSON object");

CustomFunction toolFunction(const ToolServerEntry& server, const ServerTool& tool, const QString& apiName)
{
    CustomFunction function;
    function.name = tool.name;
    function.apiDefinition.name = apiName;
    function.apiDefinition.description = tool.description;
    function.apiDefinition.schema = tool.inputSchema;
    const QString serverName = server.name;
    const QString toolName = tool.name;
    function.execution = [serverName, toolName](const std::optional<QString>& arguments) {
        const std::optional<QJsonObject> object = argumentObject(arguments);
        return object ? ToolServerManager::instance().callTool(serverName, toolName, *object) : notAnObjectText;
    };
    function.preview = [apiName](const std::optional<QString>& arguments) {
        return fencedArgumentPreview(QStringLiteral("Calling ") + apiName, arguments);
    };
    function.requiresConfirmation = server.askBeforeCall;
    if (server.askBeforeCall) {
        // Its line feeds are the layout of the indented arguments; the text
        // escapes everything else itself.
        function.confirmationEscape = UntrustedText::Escape::EverythingHiddenButLineFeeds;
        function.confirmationText = [serverName,
                                     toolName](const std::optional<QString>& arguments) -> std::optional<QString> {
            const std::optional<QJsonObject> object = argumentObject(arguments);
            if (!object)
                return std::nullopt;
            return toolCallConfirmationText(serverName, toolName, *object);
        };
        function.confirmedExecution = [serverName, toolName](const QString& text) {
            const std::optional<QJsonObject> object = confirmedToolArguments(serverName, toolName, text);
            return object ? ToolServerManager::instance().callTool(serverName, toolName, *object)
                          : QStringLiteral("The confirmed text is not a call of this tool");
        };
    }
    return function;
}

} // namespace

ToolServerManager& ToolServerManager::instance()
{
    // Never destroyed: a worker may still wait on it while the program ends.
    static ToolServerManager* manager = new ToolServerManager;
    return *manager;
}

ToolServerManager::ToolServerManager()
    : m_path(ToolServerConfig::defaultPath())
{
    if (QCoreApplication* app = QCoreApplication::instance())
        moveToThread(app->thread());
    reload();
}

void ToolServerManager::setPathForTesting(const QString& path)
{
    m_path = path;
    reload();
}

ToolServerClient* ToolServerManager::client(const QString& name) const
{
    for (ToolServerClient* client : m_clients) {
        if (client->entry().name == name)
            return client;
    }
    return nullptr;
}

void ToolServerManager::reload()
{
    const ToolServerFile file = ToolServerConfig::read(m_path);
    m_fileError = file.error;
    if (!m_fileError.isEmpty()) {
        // The servers of the last good reading run on; the tab shows the fault.
        Q_EMIT changed();
        return;
    }
    QList<ToolServerClient*> kept;
    for (const ToolServerEntry& entry : file.servers()) {
        ToolServerClient* existing = client(entry.name);
        if (existing && sameServer(existing->entry(), entry)) {
            m_clients.removeOne(existing);
            existing->setFlags(entry.enabled, entry.askBeforeCall);
            kept.append(existing);
            continue;
        }
        auto* created = new ToolServerClient(entry, this);
        connect(created, &ToolServerClient::changed, this, &ToolServerManager::publish);
        kept.append(created);
    }
    qDeleteAll(std::exchange(m_clients, kept));
    publish();
}

void ToolServerManager::startEnabled()
{
    for (ToolServerClient* client : m_clients) {
        if (client->entry().enabled)
            client->start();
    }
}

void ToolServerManager::endAllServers() { StdioTransport::endAllNow(); }

void ToolServerManager::publish()
{
    QList<CustomExtension> extensions;
    QSet<QString> taken;
    for (const ToolServerClient* client : std::as_const(m_clients)) {
        const ToolServerEntry& entry = client->entry();
        CustomExtension extension;
        extension.id = QStringLiteral("toolServer/") + entry.name;
        extension.userFacingName = entry.name;
        extension.enabledByDefault = entry.enabled;
        extension.mayBeEnabled = [enabled = entry.enabled] { return enabled; };
        for (const ServerTool& tool : client->tools()) {
            // Two tools reduced to one name would be ambiguous: the first keeps it.
            const QString apiName = toolFunctionName(entry.name, tool.name);
            if (!taken.contains(apiName)) {
                taken.insert(apiName);
                extension.functions.append(toolFunction(entry, tool, apiName));
            }
        }
        extensions.append(extension);
    }
    setDynamicExtensions(std::move(extensions));
    Q_EMIT changed();
}

Result<void> ToolServerManager::edit(const std::function<Result<void>(QJsonObject&)>& change)
{
    Result<void> edited = ToolServerConfig::update(m_path, change);
    reload();
    return edited;
}

Result<void> ToolServerManager::addServers(const QJsonObject& servers)
{
    Result<void> added = edit([&servers](QJsonObject& all) { return ToolServerConfig::addServers(all, servers); });
    if (added) {
        for (auto it = servers.begin(); it != servers.end(); ++it) {
            if (ToolServerClient* started = client(it.key()))
                started->start();
        }
    }
    return added;
}

Result<void> ToolServerManager::addPastedConfiguration(const QString& text)
{
    const Result<QJsonObject> servers = ToolServerConfig::serversOfPastedText(text.toUtf8());
    if (!servers)
        return servers.error();
    return addServers(*servers);
}

Result<void> ToolServerManager::remove(const QString& name)
{
    return edit([&name](QJsonObject& servers) -> Result<void> {
        if (!servers.contains(name))
            return Error{QStringLiteral("No server is named \"%1\"").arg(name)};
        servers.remove(name);
        return {};
    });
}

Result<void> ToolServerManager::setFlag(const QString& name, const QString& key, bool set, bool byDefault)
{
    return edit([&](QJsonObject& servers) -> Result<void> {
        if (!servers.value(name).isObject())
            return Error{QStringLiteral("No server is named \"%1\"").arg(name)};
        // The default is written as no key at all, as other clients expect.
        QJsonObject server = servers.value(name).toObject();
        if (set == byDefault)
            server.remove(key);
        else
            server.insert(key, set);
        servers.insert(name, server);
        return {};
    });
}

Result<void> ToolServerManager::setEnabled(const QString& name, bool enabled)
{
    Result<void> changed = setFlag(name, ToolServerConfig::disabledKey, !enabled, false);
    if (ToolServerClient* started = client(name); started && enabled && changed)
        started->start();
    return changed;
}

Result<void> ToolServerManager::setAskBeforeCall(const QString& name, bool ask)
{
    return setFlag(name, ToolServerConfig::askBeforeCallKey, ask, true);
}

QString ToolServerManager::callTool(const QString& server, const QString& tool, const QJsonObject& arguments)
{
    Q_ASSERT(QThread::currentThread() != thread());
    auto wait = std::make_shared<CallWait>();
    QPointer<ToolServerManager> self(this);
    const auto cancel = [self, server, wait](const QString& reason) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, server, wait, reason] {
                if (ToolServerClient* found = self ? self->client(server) : nullptr; found && wait->callId)
                    found->cancel(wait->callId, reason);
            },
            Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(
        this,
        [self, server, tool, arguments, wait] {
            if (wait->isFinished())
                return; // stopped before it was sent
            ToolServerClient* found = self ? self->client(server) : nullptr;
            if (!found || !found->entry().enabled) {
                wait->finish(QStringLiteral("Tool server \"%1\" is not enabled").arg(server));
                return;
            }
            wait->callId = found->call(tool, arguments, [wait](const QString& text) { wait->finish(text); });
        },
        Qt::QueuedConnection);
    if (const std::shared_ptr<FunctionStop> stop = FunctionStop::current()) {
        stop->onStop([wait, cancel] {
            wait->finish(QString::fromUtf16(stoppedFunctionResult));
            cancel(QStringLiteral("Stopped by the user"));
        });
    }
    if (const std::optional<QString> text = wait->waitFor(callTimeoutMs))
        return *text;
    wait->finish(QStringLiteral("The tool did not answer within %1 s").arg(callTimeoutMs / 1000));
    cancel(QStringLiteral("Timed out"));
    return *wait->waitFor(0);
}

void ToolServerManager::waitUntilSettled(int timeoutMs)
{
    const auto starting = [this] {
        return std::any_of(m_clients.begin(), m_clients.end(), [](const ToolServerClient* client) {
            return client->state() == ToolServerClient::State::Starting;
        });
    };
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // WaitForMoreEvents returns at least this often
    wake.start(50);
    while (starting() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
