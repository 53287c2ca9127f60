#include "extensions/ToolServerTools.h"

#include "core/UntrustedText.h"
#include "extensions/ShellExtension.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace {

constexpr int maxToolNameLength = 128;
constexpr int maxDescriptionLength = 4096;
constexpr qsizetype maxSchemaBytes = 64 * 1024;
constexpr int maxFunctionNameLength = 64;

bool isFunctionNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
}

QString sizeText(qsizetype bytes)
{
    return bytes < 1024 ? QStringLiteral("%1 bytes").arg(bytes) : QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

// One line for a part that is not text. Every value here is the server's, so
// it is cut short and kept to one line.
QString partLine(const QJsonObject& part)
{
    const auto field = [](const QJsonObject& object, const char* key) {
        return object.value(QLatin1String(key)).toString().left(200).simplified();
    };
    const QString type = field(part, "type");
    if (type == QLatin1String("image") || type == QLatin1String("audio")) {
        const qsizetype bytes = part.value(QStringLiteral("data")).toString().size() * 3 / 4;
        return QStringLiteral("[%1: %2, %3]").arg(type, field(part, "mimeType"), sizeText(bytes));
    }
    if (type == QLatin1String("resource_link"))
        return QStringLiteral("[resource link: %1 %2]").arg(field(part, "name"), field(part, "uri"));
    if (type == QLatin1String("resource")) {
        const QJsonObject resource = part.value(QStringLiteral("resource")).toObject();
        const qsizetype bytes = resource.contains(QStringLiteral("text"))
                                  ? resource.value(QStringLiteral("text")).toString().toUtf8().size()
                                  : resource.value(QStringLiteral("blob")).toString().size() * 3 / 4;
        return QStringLiteral("[resource: %1, %2]").arg(field(resource, "uri"), sizeText(bytes));
    }
    return QStringLiteral("[%1 content]").arg(type.isEmpty() ? QStringLiteral("unknown") : type);
}

QString header(const QString& server, const QString& tool)
{
    const auto shown = [](const QString& text) {
        return UntrustedText::escaped(text, UntrustedText::Escape::EverythingHidden);
    };
    return QStringLiteral("Server: %1\nTool: %2\nArguments:\n").arg(shown(server), shown(tool));
}

} // namespace

std::optional<ServerTool> serverToolFromJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    ServerTool tool;
    tool.name = object.value(QStringLiteral("name")).toString();
    if (tool.name.isEmpty() || tool.name.size() > maxToolNameLength)
        return std::nullopt;
    tool.description = object.value(QStringLiteral("description")).toString().left(maxDescriptionLength);
    tool.inputSchema = object.value(QStringLiteral("inputSchema")).toObject();
    // The model gets the schema as it stands, so an oversized one is not passed on.
    if (QJsonDocument(tool.inputSchema).toJson(QJsonDocument::Compact).size() > maxSchemaBytes)
        tool.inputSchema = {};
    if (!tool.inputSchema.contains(QStringLiteral("type")))
        tool.inputSchema.insert(QStringLiteral("type"), QStringLiteral("object"));
    if (!tool.inputSchema.contains(QStringLiteral("properties")))
        tool.inputSchema.insert(QStringLiteral("properties"), QJsonObject());
    return tool;
}

QString toolFunctionName(const QString& server, const QString& tool)
{
    QString name = server + QStringLiteral("__") + tool;
    for (QChar& c : name) {
        if (!isFunctionNameCharacter(c))
            c = u'_';
    }
    return name.left(maxFunctionNameLength);
}

QString toolResultText(const QJsonObject& result)
{
    QStringList parts;
    for (const auto& value : result.value(QStringLiteral("content")).toArray()) {
        const QJsonObject part = value.toObject();
        const bool isText = part.value(QStringLiteral("type")).toString() == QLatin1String("text");
        parts.append(isText ? part.value(QStringLiteral("text")).toString() : partLine(part));
    }
    if (parts.isEmpty() && result.value(QStringLiteral("structuredContent")).isObject())
        parts.append(QString::fromUtf8(QJsonDocument(result.value(QStringLiteral("structuredContent")).toObject())
                                           .toJson(QJsonDocument::Compact)));
    QString text = parts.join(QStringLiteral("\n\n"));
    if (result.value(QStringLiteral("isError")).toBool())
        text.prepend(QStringLiteral("Tool error: "));
    return limitedOutputText(text.toUtf8());
}

QString toolCallConfirmationText(const QString& server, const QString& tool, const QJsonObject& arguments)
{
    // Indented JSON keeps its line feeds for the layout; string values never
    // hold one, so escaping line by line shows every hidden character.
    const QString json = QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Indented)).trimmed();
    QStringList lines = json.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = UntrustedText::escaped(line, UntrustedText::Escape::EverythingHidden);
    return header(server, tool) + lines.join(QLatin1Char('\n'));
}

std::optional<QJsonObject> confirmedToolArguments(const QString& server, const QString& tool, const QString& text)
{
    const QString expected = header(server, tool);
    if (!text.startsWith(expected))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.mid(expected.size()).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}
