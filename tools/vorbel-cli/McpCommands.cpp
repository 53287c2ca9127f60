#include "vorbel-cli/McpCommands.h"

#include "extensions/ToolServerManager.h"
#include "vorbel-cli/TextFormats.h"

#include <QUrl>

namespace {

// The handshake's own limit and a little more for the login environment.
constexpr int settleWaitMs = ToolServerClient::initializeTimeoutMs + 12000;

int usage(CliIo& io, const QString& text)
{
    return reportError(io, ExitUsage, text + QStringLiteral(" (see vorbel-cli --help)"));
}

int outcome(CliIo& io, const Result<void>& edited)
{
    return edited ? ExitSuccess : reportError(io, ExitFailure, edited.errorText());
}

int list(CliIo& io)
{
    ToolServerManager& manager = ToolServerManager::instance();
    if (!manager.fileError().isEmpty())
        return reportError(io, ExitFailure, manager.fileError());
    McpCommands::startEnabledServers();
    for (const ToolServerClient* client : manager.clients()) {
        const ToolServerEntry& entry = client->entry();
        io.out << TextFormats::tsvLine({entry.name, entry.kind(), entry.enabled ? "enabled" : "disabled",
                                        client->statusText(), QString::number(client->tools().size())})
               << '\n';
    }
    io.out.flush();
    return ExitSuccess;
}

int tools(CliIo& io, const QString& name)
{
    ToolServerManager& manager = ToolServerManager::instance();
    ToolServerClient* client = manager.client(name);
    if (!client)
        return reportError(io, ExitUsage, QStringLiteral("no tool server named \"%1\"").arg(name));
    if (!client->entry().enabled)
        return reportError(io, ExitUsage, QStringLiteral("\"%1\" is disabled; enable it first").arg(name));
    client->start();
    manager.waitUntilSettled(settleWaitMs);
    if (client->state() != ToolServerClient::State::Connected)
        return reportError(io, ExitFailure, client->statusText());
    for (const ServerTool& tool : client->tools())
        io.out << TextFormats::tsvLine({toolFunctionName(name, tool.name), tool.description.simplified()}) << '\n';
    io.out.flush();
    return ExitSuccess;
}

// add NAME -- COMMAND [ARGS...] | add NAME --url URL [--header "K: V"]...
int add(CliIo& io, const QStringList& arguments)
{
    const QString name = arguments.value(0);
    if (name.isEmpty() || name.startsWith(QLatin1String("--")))
        return usage(io, QStringLiteral("mcp add needs a name"));
    QJsonObject server;
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    if (dashes == 1) {
        if (arguments.size() < 3)
            return usage(io, QStringLiteral("mcp add needs a command after --"));
        server = ToolServerConfig::commandServer(arguments.at(2), arguments.mid(3));
    } else {
        QString url;
        QList<QPair<QString, QString>> headers;
        for (qsizetype i = 1; i < arguments.size(); i += 2) {
            const QString& option = arguments.at(i);
            if (i + 1 >= arguments.size())
                return usage(io, QStringLiteral("%1 needs a value").arg(option));
            const QString& value = arguments.at(i + 1);
            if (option == QLatin1String("--url") && url.isEmpty()) {
                url = value;
            } else if (option == QLatin1String("--header") && value.contains(QLatin1Char(':'))) {
                headers.append(
                    {value.section(QLatin1Char(':'), 0, 0).trimmed(), value.section(QLatin1Char(':'), 1).trimmed()});
            } else {
                // The value is not repeated: it may be a key.
                return usage(io, QStringLiteral("unexpected argument \"%1\"").arg(option));
            }
        }
        if (url.isEmpty())
            return usage(io, QStringLiteral("mcp add needs -- COMMAND or --url URL"));
        server = ToolServerConfig::urlServer(url, headers);
    }
    return outcome(io, ToolServerManager::instance().addServers({{name, server}}));
}

} // namespace

namespace McpCommands {

void startEnabledServers()
{
    ToolServerManager& manager = ToolServerManager::instance();
    manager.startEnabled();
    manager.waitUntilSettled(settleWaitMs);
}

int run(CliEnvironment& environment, const QStringList& arguments)
{
    CliIo& io = environment.io;
    ToolServerManager::instance().reload(); // the app may have changed the file
    const QString command = arguments.value(0);
    const QString name = arguments.value(1);
    const bool oneName = arguments.size() == 2;
    if (command == QLatin1String("list"))
        return arguments.size() == 1 ? list(io) : usage(io, QStringLiteral("mcp list takes no arguments"));
    if (command == QLatin1String("add"))
        return add(io, arguments.mid(1));
    if (!oneName)
        return usage(io, command.isEmpty() ? QStringLiteral("mcp needs a command")
                                           : QStringLiteral("mcp %1 takes one server name").arg(command));
    if (command == QLatin1String("tools"))
        return tools(io, name);
    if (command == QLatin1String("remove"))
        return outcome(io, ToolServerManager::instance().remove(name));
    if (command == QLatin1String("enable") || command == QLatin1String("disable"))
        return outcome(io, ToolServerManager::instance().setEnabled(name, command == QLatin1String("enable")));
    return usage(io, QStringLiteral("unknown mcp command \"%1\"").arg(command));
}

} // namespace McpCommands
