#pragma once

// Streamed chat-completion replies as the OpenAI service sends them, and the
// messages a request carried, for tests that play the service.

#include "support/HttpTestServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace Sse {

// One "data:" event carrying `delta` in its only choice.
inline QByteArray chunk(const QJsonObject& delta, const QJsonValue& finishReason = QJsonValue::Null)
{
    const QJsonObject choice{{"index", 0}, {"delta", delta}, {"finish_reason", finishReason}};
    const QJsonObject body{{"id", "chatcmpl-1"},
                           {"object", "chat.completion.chunk"},
                           {"created", 1},
                           {"model", "gpt-3.5-turbo"},
                           {"choices", QJsonArray{choice}}};
    return "data: " + QJsonDocument(body).toJson(QJsonDocument::Compact) + "\n\n";
}

inline QByteArray content(const QString& text) { return chunk({{"content", text}}); }

// A piece of a reasoning model's thinking, under the field name the server uses.
inline QByteArray thinking(const QString& text, const QString& field = "reasoning_content")
{
    return chunk({{field, text}});
}

// The last chunk of a reply that was asked for its counts: no choices.
inline QByteArray usage(int promptTokens, int completionTokens, int reasoningTokens)
{
    const QJsonObject counts{{"prompt_tokens", promptTokens},
                             {"completion_tokens", completionTokens},
                             {"completion_tokens_details", QJsonObject{{"reasoning_tokens", reasoningTokens}}}};
    const QJsonObject body{
        {"id", "chatcmpl-1"}, {"object", "chat.completion.chunk"}, {"choices", QJsonArray{}}, {"usage", counts}};
    return "data: " + QJsonDocument(body).toJson(QJsonDocument::Compact) + "\n\n";
}

inline const QByteArray done = "data: [DONE]\n\n";

// A text reply in `pieces`, closed by a finish chunk and "[DONE]".
inline ScriptedResponse reply(const QStringList& pieces, int delayMs = 2)
{
    QList<QByteArray> events;
    for (const QString& piece : pieces)
        events << content(piece);
    events << chunk({}, "stop") << done;
    return ScriptedResponse::sse(events, delayMs);
}

// A function call: the name first, then the arguments in `argumentPieces`.
inline ScriptedResponse functionCall(const QString& name, const QStringList& argumentPieces, int delayMs = 2)
{
    QList<QByteArray> events{
        chunk({{"role", "assistant"}, {"function_call", QJsonObject{{"name", name}, {"arguments", ""}}}})};
    for (const QString& piece : argumentPieces)
        events << chunk({{"function_call", QJsonObject{{"arguments", piece}}}});
    events << chunk({}, "function_call") << done;
    return ScriptedResponse::sse(events, delayMs);
}

// One call of a reply in the tools form: its name, then its arguments in pieces.
struct StreamedCall {
    QString name;
    QStringList argumentPieces;
};

// A reply that asks for `calls` in the tools form, each announced with its
// index and an id of the server's, as OpenAI streams them.
inline ScriptedResponse toolCalls(const QList<StreamedCall>& calls, int delayMs = 2)
{
    const auto piece = [](int index, const QJsonObject& call) {
        QJsonObject entry = call;
        entry.insert("index", index);
        return chunk({{"tool_calls", QJsonArray{entry}}});
    };
    QList<QByteArray> events{chunk({{"role", "assistant"}, {"content", QJsonValue::Null}})};
    for (int i = 0; i < calls.size(); ++i) {
        events << piece(i, {{"id", QString("call_server%1").arg(i)},
                            {"type", "function"},
                            {"function", QJsonObject{{"name", calls[i].name}, {"arguments", ""}}}});
        for (const QString& arguments : calls[i].argumentPieces)
            events << piece(i, {{"function", QJsonObject{{"arguments", arguments}}}});
    }
    events << chunk({}, "tool_calls") << done;
    return ScriptedResponse::sse(events, delayMs);
}

inline QJsonArray sentMessages(const RecordedRequest& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray();
}

inline QStringList sentRoles(const RecordedRequest& request)
{
    QStringList roles;
    for (const auto& message : sentMessages(request))
        roles << message.toObject().value("role").toString();
    return roles;
}

} // namespace Sse
