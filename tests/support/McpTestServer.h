#pragma once

// The behaviour of the test suite's tool server, shared by its stdio program
// and its HTTP variant. Tools: "echo" (the arguments back, and an image part
// when asked), "fail" (isError), "hang" (never answers), "crash" (the process
// exits), "grow" (adds "extra" and says the list changed), then `fillers`
// more, listed `pageSize` at a time (0: all at once).

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

struct McpTestServer {
    int fillers = 0;
    int pageSize = 0;
    bool grown = false;
    bool crash = false; // set by a call of "crash": the program exits

    QJsonArray tools() const
    {
        QStringList names{"echo", "fail", "hang", "crash", "grow"};
        for (int i = 1; i <= fillers; ++i)
            names << QStringLiteral("filler%1").arg(i);
        if (grown)
            names << "extra";
        QJsonArray tools;
        for (const QString& name : names)
            tools.append(QJsonObject{
                {"name", name},
                {"description", "Test tool " + name},
                {"inputSchema", QJsonObject{{"type", "object"},
                                            {"properties", QJsonObject{{"text", QJsonObject{{"type", "string"}}}}}}}});
        return tools;
    }

    // The messages that answer `message`, in order.
    QList<QJsonObject> handle(const QJsonObject& message)
    {
        const QString method = message["method"].toString();
        const QJsonValue id = message["id"];
        const auto result = [&id](const QJsonObject& value) {
            return QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"result", value}};
        };
        if (method == "initialize")
            return {result({{"protocolVersion", "2025-06-18"},
                            {"capabilities", QJsonObject{{"tools", QJsonObject{{"listChanged", true}}}}},
                            {"serverInfo", QJsonObject{{"name", "test"}, {"version", "1"}}}})};
        if (method == "tools/list") {
            const QJsonArray all = tools();
            const int from = message["params"]["cursor"].toString().toInt();
            const int count = pageSize > 0 ? pageSize : int(all.size());
            QJsonObject page{{"tools", QJsonArray::fromVariantList(all.toVariantList().mid(from, count))}};
            if (from + count < all.size())
                page.insert("nextCursor", QString::number(from + count));
            return {result(page)};
        }
        if (method != "tools/call")
            return {};
        const QString tool = message["params"]["name"].toString();
        const QJsonObject arguments = message["params"]["arguments"].toObject();
        const auto text = [](const QString& value) { return QJsonObject{{"type", "text"}, {"text", value}}; };
        if (tool == "echo") {
            QJsonArray content{text(QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)))};
            if (arguments.contains("image"))
                content.append(QJsonObject{{"type", "image"}, {"mimeType", "image/png"}, {"data", QString(4096, 'A')}});
            return {result({{"content", content}})};
        }
        if (tool == "fail")
            return {result({{"content", QJsonArray{text("disk full")}}, {"isError", true}})};
        if (tool == "grow") {
            grown = true;
            return {result({{"content", QJsonArray{text("grown")}}}),
                    QJsonObject{{"jsonrpc", "2.0"}, {"method", "notifications/tools/list_changed"}}};
        }
        crash = tool == "crash";
        return {}; // "hang" and "crash" never answer
    }
};
