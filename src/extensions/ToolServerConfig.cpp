#include "extensions/ToolServerConfig.h"

#include "core/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>

namespace {

const QString serversKey = QStringLiteral("mcpServers");
// A configuration is a few kilobytes; a larger file is not one.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
constexpr int maxNameLength = 64;

// "line L, column C" of a byte offset, for the user to find the fault.
QString placeOf(const QByteArray& text, int offset)
{
    const QByteArray before = text.left(offset);
    const int line = int(before.count('\n')) + 1;
    const int column = int(offset - (before.lastIndexOf('\n') + 1)) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

Result<QJsonObject> parseObject(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return Error{QStringLiteral("%1 at %2").arg(error.errorString(), placeOf(text, error.offset))};
    if (!document.isObject())
        return Error{QStringLiteral("the top level is not an object")};
    return document.object();
}

ToolServerEntry entryOf(const QString& name, const QJsonValue& value)
{
    ToolServerEntry entry;
    entry.name = name;
    const QJsonObject object = value.toObject();
    if (!value.isObject()) {
        entry.problem = QStringLiteral("its entry is not an object");
        return entry;
    }
    entry.enabled = !object.value(ToolServerConfig::disabledKey).toBool(false);
    entry.askBeforeCall = object.value(ToolServerConfig::askBeforeCallKey).toBool(true);
    if (const Result<void> named = ToolServerConfig::checkName(name); !named)
        entry.problem = named.errorText();
    if (object.contains(QStringLiteral("url"))) {
        entry.url = QUrl(object.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
        const QJsonObject headers = object.value(QStringLiteral("headers")).toObject();
        for (auto it = headers.begin(); it != headers.end(); ++it)
            entry.headers.append({it.key().toUtf8(), it.value().toString().toUtf8()});
        if (!entry.url.isValid()
            || (entry.url.scheme() != QLatin1String("http") && entry.url.scheme() != QLatin1String("https"))
            || entry.url.host().isEmpty())
            entry.problem = QStringLiteral("its address is not an http:// or https:// address");
        return entry;
    }
    entry.command = object.value(QStringLiteral("command")).toString();
    for (const auto& arg : object.value(QStringLiteral("args")).toArray())
        entry.args.append(arg.toString());
    const QJsonObject env = object.value(QStringLiteral("env")).toObject();
    for (auto it = env.begin(); it != env.end(); ++it)
        entry.env.append({it.key(), it.value().toString()});
    if (entry.command.isEmpty() && entry.problem.isEmpty())
        entry.problem = QStringLiteral("it has neither \"command\" nor \"url\"");
    return entry;
}

} // namespace

QList<ToolServerEntry> ToolServerFile::servers() const
{
    QList<ToolServerEntry> entries;
    const QJsonObject servers = root.value(serversKey).toObject();
    for (auto it = servers.begin(); it != servers.end(); ++it)
        entries.append(entryOf(it.key(), it.value()));
    return entries;
}

namespace ToolServerConfig {

QString defaultPath()
{
    const QString settingsFile = QSettings(QStringLiteral("Vorbel"), QStringLiteral("Vorbel")).fileName();
    return QFileInfo(settingsFile).absolutePath() + QStringLiteral("/mcp.json");
}

ToolServerFile read(const QString& path)
{
    ToolServerFile file;
    QFile input(path);
    if (!input.exists())
        return file;
    if (input.size() > maxFileBytes) {
        file.error = QStringLiteral("%1 is larger than %2 MB").arg(path).arg(maxFileBytes / (1024 * 1024));
        return file;
    }
    if (!input.open(QIODevice::ReadOnly)) {
        file.error = QStringLiteral("%1 cannot be read: %2").arg(path, input.errorString());
        return file;
    }
    Result<QJsonObject> root = parseObject(input.readAll());
    if (!root) {
        file.error = QStringLiteral("%1 does not parse: %2").arg(path, root.errorText());
    } else if (root->contains(serversKey) && !root->value(serversKey).isObject()) {
        file.error = QStringLiteral("%1: \"mcpServers\" is not an object").arg(path);
    } else {
        file.root = std::move(root).value();
    }
    return file;
}

Result<void> update(const QString& path, const std::function<Result<void>(QJsonObject& servers)>& edit)
{
    ToolServerFile file = read(path);
    if (!file.error.isEmpty())
        return Error{file.error};
    QJsonObject servers = file.root.value(serversKey).toObject();
    if (Result<void> edited = edit(servers); !edited)
        return edited;
    file.root.insert(serversKey, servers);

    const QString folder = QFileInfo(path).absolutePath();
    PrivateFiles::makeFolders(folder, folder);
    QSaveFile output(path);
    // Owner-only before anything is written: header values are keys.
    if (!output.open(QIODevice::WriteOnly) || !output.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || output.write(QJsonDocument(file.root).toJson(QJsonDocument::Indented)) < 0 || !output.commit())
        return Error{QStringLiteral("%1 cannot be written: %2").arg(path, output.errorString())};
    PrivateFiles::tighten(path);
    return {};
}

Result<QJsonObject> serversOfPastedText(const QByteArray& text)
{
    const Result<QJsonObject> root = parseObject(text);
    if (!root)
        return Error{QStringLiteral("The configuration does not parse: %1").arg(root.errorText())};
    if (root->contains(serversKey) && !root->value(serversKey).isObject())
        return Error{QStringLiteral("\"mcpServers\" is not an object")};
    const QJsonObject servers = root->contains(serversKey) ? root->value(serversKey).toObject() : *root;
    if (servers.isEmpty())
        return Error{QStringLiteral("The configuration holds no servers")};
    return servers;
}

Result<void> checkName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return Error{QStringLiteral("a server needs a name")};
    if (name.size() > maxNameLength)
        return Error{QStringLiteral("a server's name has at most %1 characters").arg(maxNameLength)};
    for (const QChar c : name) {
        if (!c.isPrint())
            return Error{QStringLiteral("a server's name holds only printable characters")};
    }
    return {};
}

QStringList splitCommandLine(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        const bool escapes = c == u'\\' && i + 1 < line.size()
                          && (quote.isNull() || (quote == u'"' && (line.at(i + 1) == u'"' || line.at(i + 1) == u'\\')));
        if (escapes) {
            word += line.at(++i);
            inWord = true;
        } else if (!quote.isNull() && c == quote) {
            quote = QChar();
        } else if (quote.isNull() && (c == u'\'' || c == u'"')) {
            quote = c;
            inWord = true;
        } else if (quote.isNull() && c.isSpace()) {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

QJsonObject commandServer(const QString& command, const QStringList& args)
{
    return {{QStringLiteral("command"), command}, {QStringLiteral("args"), QJsonArray::fromStringList(args)}};
}

QJsonObject urlServer(const QString& url, const QList<QPair<QString, QString>>& headers)
{
    QJsonObject object{{QStringLiteral("url"), url}};
    if (!headers.isEmpty()) {
        QJsonObject headerObject;
        for (const auto& [key, value] : headers)
            headerObject.insert(key, value);
        object.insert(QStringLiteral("headers"), headerObject);
    }
    return object;
}

Result<void> addServers(QJsonObject& servers, const QJsonObject& added)
{
    for (auto it = added.begin(); it != added.end(); ++it) {
        if (servers.contains(it.key()))
            return Error{QStringLiteral("A server named \"%1\" exists already").arg(it.key())};
        if (const ToolServerEntry entry = entryOf(it.key(), it.value()); !entry.problem.isEmpty())
            return Error{QStringLiteral("Server \"%1\" cannot be used: %2").arg(it.key(), entry.problem)};
    }
    for (auto it = added.begin(); it != added.end(); ++it) {
        QJsonObject server = it.value().toObject();
        server.remove(disabledKey);
        servers.insert(it.key(), server);
    }
    return {};
}

} // namespace ToolServerConfig
