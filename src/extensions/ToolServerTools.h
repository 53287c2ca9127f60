#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// What a tool server says about its tools and answers, turned into what the
// model and the user see. All of it is untrusted and size-capped here.

struct ServerTool {
    QString name;
    QString description;
    QJsonObject inputSchema;
};

// A tool of a tools/list answer, or nothing when it is not usable.
std::optional<ServerTool> serverToolFromJson(const QJsonValue& value);

// "<server>__<tool>" with every character outside [A-Za-z0-9_-] made "_",
// cut to 64 characters.
QString toolFunctionName(const QString& server, const QString& tool);

// The text of a tools/call result: text parts joined by blank lines, other
// parts one line each, "Tool error: " first when the tool failed, capped as
// shell output is.
QString toolResultText(const QJsonObject& result);

// The text the user confirms: the server, the tool and the arguments as
// indented JSON, with anything invisible shown escaped.
QString toolCallConfirmationText(const QString& server, const QString& tool, const QJsonObject& arguments);

// The arguments of a confirmed text, when it is one for exactly this server
// and tool.
std::optional<QJsonObject> confirmedToolArguments(const QString& server, const QString& tool, const QString& text);
