#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

// One configured tool server, read from mcp.json. Header and environment
// values are secrets: they go to the server and nowhere else.
struct ToolServerEntry {
    QString name;
    QString command; // a server started as a child process
    QStringList args;
    QList<QPair<QString, QString>> env;
    QUrl url; // a server reached over HTTP
    QList<QPair<QByteArray, QByteArray>> headers;
    bool enabled = true;
    bool askBeforeCall = true;
    QString problem; // why the entry cannot be used, or empty

    bool isHttp() const { return !url.isEmpty(); }
    QString kind() const { return isHttp() ? QStringLiteral("http") : QStringLiteral("stdio"); }
};

// The file as read: its root object, or why it cannot be used (then it is
// never written). A missing file is an empty configuration.
struct ToolServerFile {
    QJsonObject root;
    QString error;

    QList<ToolServerEntry> servers() const;
};

namespace ToolServerConfig {

// mcp.json in the folder of the settings file.
QString defaultPath();

ToolServerFile read(const QString& path);

// Reads the file, lets `edit` change its "mcpServers" object and writes it
// back 0600, keeping every key it does not know. An Error when the file does
// not parse, cannot be written or `edit` refuses (nothing is written then).
Result<void> update(const QString& path, const std::function<Result<void>(QJsonObject& servers)>& edit);

// The server objects of a pasted configuration, `{"mcpServers": {...}}` or
// the inner object alone, or the reason it cannot be used.
Result<QJsonObject> serversOfPastedText(const QByteArray& text);

// Whether `name` can name a server, and why not.
Result<void> checkName(const QString& name);

// The words of a command line as a shell splits them: single quotes keep
// everything, double quotes all but a backslash before " or \, and a
// backslash outside quotes keeps the next character.
QStringList splitCommandLine(const QString& line);

// The object of a new stdio or HTTP server.
QJsonObject commandServer(const QString& command, const QStringList& args);
QJsonObject urlServer(const QString& url, const QList<QPair<QString, QString>>& headers);

// Adds the servers of `added` to `servers`, enabled; refuses all of them when
// one's name is taken or unusable.
Result<void> addServers(QJsonObject& servers, const QJsonObject& added);

// Keys of our own in a server object.
inline const QString disabledKey = QStringLiteral("disabled");
inline const QString askBeforeCallKey = QStringLiteral("askBeforeCall");

} // namespace ToolServerConfig
