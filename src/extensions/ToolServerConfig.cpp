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

std::optional<QString> parseObject(const QByteArray& text, QJsonObject& object)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("%1 at %2").arg(error.errorString(), placeOf(text, error.offset));
    if (!document.isObject())
        return QStringLiteral("the top level is not an object");
    object = document.object();
    return std::nullopt;
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
    if (const auto problem = ToolServerConfig::nameProblem(name))
        entry.problem = *problem;
    if (object.contains(QStringLiteral("url"))) {
        entry.url = QUrl(object.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
        const QJsonObject headers = object.value(QStringLiteral("headers")).toObject();
        for (auto it = headers.begin(); it != headers.end(); ++it)
            entry.headers.append({it.key().toUtf8(), it.value().toString().toUtf8()});
        if (!entry.url.isValid() || (entry.url.scheme() != QLatin1String("http") && entry.url.scheme() != QLatin1String("https"))
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
    if (const auto problem = parseObject(input.readAll(), file.root)) {
        file.error = QStringLiteral("%1 does not parse: %2").arg(path, *problem);
    } else if (file.root.contains(serversKey) && !file.root.value(serversKey).isObject()) {
        file.error = QStringLiteral("%1: \"mcpServers\" is not an object").arg(path);
        file.root = {};
    }
    return file;
}

std::optional<QString> update(const QString& path,
                              const std::function<std::optional<QString>(QJsonObject& servers)>& edit)
{
    ToolServerFile file = read(path);
    if (!file.error.isEmpty())
        return file.error;
    QJsonObject servers = file.root.value(serversKey).toObject();
    if (const auto refused = edit(servers))
        return refused;
    file.root.insert(serversKey, servers);

    const QString folder = QFileInfo(path).absolutePath();
    PrivateFiles::makeFolders(folder, folder);
    QSaveFile output(path);
    // Owner-only before anything is written: header values are keys.
    if (!output.open(QIODevice::WriteOnly)
        || !output.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || output.write(QJsonDocument(file.root).toJson(QJsonDocument::Indented)) < 0 || !output.commit())
        return QStringLiteral("%1 cannot be written: %2").arg(path, output.errorString());
    PrivateFiles::tighten(path);
    return std::nullopt;
}

std::optional<QString> serversOfPastedText(const QByteArray& text, QJsonObject& servers)
{
    QJsonObject root;
    if (const auto problem = parseObject(text, root))
        return QStringLiteral("The configuration does not parse: %1").arg(*problem);
    if (root.contains(serversKey)) {
        if (!root.value(serversKey).isObject())
            return QStringLiteral("\"mcpServers\" is not an object");
        servers = root.value(serversKey).toObject();
    } else {
        servers = root;
    }
    if (servers.isEmpty())
        return QStringLiteral("The configuration holds no servers");
    return std::nullopt;
}

std::optional<QString> nameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("a server needs a name");
    if (name.size() > maxNameLength)
        return QStringLiteral("a server's name has at most %1 characters").arg(maxNameLength);
    for (const QChar c : name) {
        if (!c.isPrint())
            return QStringLiteral("a server's name holds only printable characters");
    }
    return std::nullopt;
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

std::optional<QString> addServers(QJsonObject& servers, const QJsonObject& added)
{
    for (auto it = added.begin(); it != added.end(); ++it) {
        if (servers.contains(it.key()))
            return QStringLiteral("A server named \"%1\" exists already").arg(it.key());
        if (const ToolServerEntry entry = entryOf(it.key(), it.value()); !entry.problem.isEmpty())
            return QStringLiteral("Server \"%1\" cannot be used: %2").arg(it.key(), entry.problem);
    }
    for (auto it = added.begin(); it != added.end(); ++it) {
        QJsonObject server = it.value().toObject();
        server.remove(disabledKey);
        servers.insert(it.key(), server);
    }
    return std::nullopt;
}

} // namespace ToolServerConfig
