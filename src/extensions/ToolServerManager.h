#pragma once

#include "extensions/ToolServerClient.h"
#include "extensions/ToolServerConfig.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// Every configured tool server of this run: reads mcp.json, keeps one client
// per server on the UI thread and offers the tools of the enabled ones to the
// extension registry, one extension per server after the built-in ones.
class ToolServerManager : public QObject {
    Q_OBJECT
public:
    static constexpr int callTimeoutMs = 60000;

    // The one instance; first used on the UI thread.
    static ToolServerManager& instance();

    // Reads the file again (another process may have changed it) and updates
    // the clients, stopping those of removed or disabled servers.
    void reload();
    // Starts every enabled server in the background.
    void startEnabled();
    // Ends every server process this run started, process groups included,
    // waiting a moment for them (at exit). Needs no instance.
    static void endAllServers();

    QString fileError() const { return m_fileError; }
    QList<ToolServerClient*> clients() const { return m_clients; }
    ToolServerClient* client(const QString& name) const;

    // Edits of the file; each reloads it, and on a refusal says why.
    Result<void> addServers(const QJsonObject& servers);
    Result<void> addPastedConfiguration(const QString& text);
    Result<void> remove(const QString& name);
    Result<void> setEnabled(const QString& name, bool enabled);
    Result<void> setAskBeforeCall(const QString& name, bool ask);

    // For an execution on a worker thread: calls the tool on the UI thread and
    // waits for its text, at most callTimeoutMs; the running function's stop
    // cancels it. Never call on the UI thread.
    QString callTool(const QString& server, const QString& tool, const QJsonObject& arguments);

    // Runs the event loop until no enabled server is starting (a command that
    // needs the tools), at most `timeoutMs`.
    void waitUntilSettled(int timeoutMs);

    // Another file for tests; reloads.
    void setPathForTesting(const QString& path);

Q_SIGNALS:
    void changed();

private:
    ToolServerManager();
    Result<void> edit(const std::function<Result<void>(QJsonObject& servers)>& change);
    void publish();
    Result<void> setFlag(const QString& name, const QString& key, bool set, bool byDefault);

    QString m_path;
    QString m_fileError;
    QList<ToolServerClient*> m_clients;
};
