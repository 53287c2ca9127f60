#include "ToolServerScreenshots.h"

#include "extensions/ToolServerManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QJsonObject tool(const QString& name, const QString& description, const QString& parameter)
{
    return {{"name", name},
            {"description", description},
            {"inputSchema", QJsonObject{{"type", "object"},
                                        {"properties", QJsonObject{{parameter, QJsonObject{{"type", "string"}}}}},
                                        {"required", QJsonArray{parameter}}}}};
}

// Just enough of a notes server: the handshake, its tools and a found note.
ScriptedResponse answer(const RecordedRequest& request)
{
    const QJsonObject message = QJsonDocument::fromJson(request.body).object();
    const QString method = message["method"].toString();
    QJsonObject result;
    if (method == "initialize") {
        result = {{"protocolVersion", "2025-11-25"},
                  {"capabilities", QJsonObject{{"tools", QJsonObject()}}},
                  {"serverInfo", QJsonObject{{"name", "notes"}, {"version", "1.2.0"}}}};
    } else if (method == "tools/list") {
        result = {
            {"tools", QJsonArray{tool("search_notes", "Finds notes whose title or text contains the query.", "query"),
                                 tool("read_note", "Returns the full text of one note by its path.", "path"),
                                 tool("append_to_note", "Adds a paragraph to the end of a note.", "text")}}};
    } else if (method == "tools/call") {
        result = {{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", "2 notes found"}}}}};
    } else {
        return ScriptedResponse::text(202, "");
    }
    return ScriptedResponse::text(
        200, QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", message["id"]}, {"result", result}})
                 .toJson(QJsonDocument::Compact));
}

} // namespace

ScreenshotToolServers::ScreenshotToolServers()
{
    m_server.setHandler(answer);
    (void)ToolServerManager::instance().addServers(
        {{"notes", ToolServerConfig::urlServer(m_server.baseUrl().toString() + "/mcp", {})},
         {"github", ToolServerConfig::commandServer(
                        "/bin/sh", {"-c", "echo 'server-github 0.6.2 starting' >&2; "
                                          "echo 'Error: GITHUB_PERSONAL_ACCESS_TOKEN is not set' >&2; exit 1"})}});
}

bool ScreenshotToolServers::ready()
{
    ToolServerManager& manager = ToolServerManager::instance();
    return QTest::qWaitFor(
        [&manager] {
            ToolServerClient* notes = manager.client("notes");
            ToolServerClient* github = manager.client("github");
            return notes && github && notes->state() == ToolServerClient::State::Connected
                && github->state() == ToolServerClient::State::Failed && !github->log().isEmpty();
        },
        20000);
}
