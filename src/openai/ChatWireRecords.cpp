#include "openai/ChatWireRecords.h"

#include "openai/JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>

QJsonObject ApiMessage::toJson() const
{
    QJsonObject object{{QStringLiteral("role"), role}};
    if (content)
        object.insert(QStringLiteral("content"), *content);
    if (name)
        object.insert(QStringLiteral("name"), *name);
    if (function_call) {
        QJsonObject call{{QStringLiteral("name"), function_call->name}};
        if (function_call->arguments)
            call.insert(QStringLiteral("arguments"), *function_call->arguments);
        object.insert(QStringLiteral("function_call"), call);
    }
    if (tool_calls) {
        QJsonArray calls;
        for (const ToolCall& call : *tool_calls) {
            const QJsonObject function{{QStringLiteral("name"), call.name},
                                       {QStringLiteral("arguments"), call.arguments}};
            calls.append(QJsonObject{{QStringLiteral("id"), call.id},
                                     {QStringLiteral("type"), QStringLiteral("function")},
                                     {QStringLiteral("function"), function}});
        }
        object.insert(QStringLiteral("tool_calls"), calls);
    }
    if (tool_call_id)
        object.insert(QStringLiteral("tool_call_id"), *tool_call_id);
    return object;
}

QByteArray ModelInput::encode() const
{
    QJsonArray messageList;
    for (const ApiMessage& message : messages)
        messageList.append(message.toJson());
    QJsonObject object{
        {QStringLiteral("stream"), stream},
        {QStringLiteral("model"), model},
        {QStringLiteral("messages"), messageList},
    };
    if (functions && !functions->isEmpty()) {
        QJsonArray functionList;
        for (const ApiFunction& function : *functions)
            functionList.append(function.toJson());
        object.insert(QStringLiteral("functions"), functionList);
    }
    if (tools && !tools->isEmpty()) {
        QJsonArray toolList;
        for (const ApiFunction& function : *tools)
            toolList.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("function")},
                                        {QStringLiteral("function"), function.toJson()}});
        object.insert(QStringLiteral("tools"), toolList);
        if (parallel_tool_calls)
            object.insert(QStringLiteral("parallel_tool_calls"), *parallel_tool_calls);
    }
    if (include_usage)
        object.insert(QStringLiteral("stream_options"), QJsonObject{{QStringLiteral("include_usage"), true}});
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

namespace {

// Servers differ: some leave out the index of a lone call, some send null for
// an empty list. The position in the list stands in for a missing index.
QList<Delta::ToolCall> decodeToolCalls(JsonFields::Reader& read, const QJsonObject& delta,
                                       const JsonFields::Path& deltaPath)
{
    using namespace JsonFields;
    QList<Delta::ToolCall> calls;
    const QJsonValue value = delta.value(QStringLiteral("tool_calls"));
    if (value.isUndefined() || value.isNull())
        return calls;
    const QJsonArray entries = read.requireArray(delta, QStringLiteral("tool_calls"), deltaPath);
    const Path listPath = deltaPath.member(QStringLiteral("tool_calls"));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Path path = listPath.element(i);
        const QJsonObject entry = read.requireObject(entries.at(i), path);
        Delta::ToolCall call;
        const QJsonValue index = entry.value(QStringLiteral("index"));
        call.index = index.isUndefined() || index.isNull() ? int(i)
                                                           : read.requireInt(entry, QStringLiteral("index"), path);
        call.id = read.optionalString(entry, QStringLiteral("id"), path);
        if (const auto function = read.optionalObject(entry, QStringLiteral("function"), path)) {
            const Path functionPath = path.member(QStringLiteral("function"));
            call.name = read.optionalString(*function, QStringLiteral("name"), functionPath);
            call.arguments = read.optionalString(*function, QStringLiteral("arguments"), functionPath);
        }
        calls.append(std::move(call));
    }
    return calls;
}

// Counts that make no sense (negative) are dropped rather than shown.
std::optional<int> tokenCount(JsonFields::Reader& read, const QJsonObject& object, const QString& key,
                              const JsonFields::Path& path)
{
    const std::optional<int> count = read.optionalInt(object, key, path);
    return count && *count >= 0 ? count : std::nullopt;
}

std::optional<Usage> decodeUsage(JsonFields::Reader& read, const QJsonObject& root, const JsonFields::Path& top)
{
    using namespace JsonFields;
    const std::optional<QJsonObject> usage = read.optionalObject(root, QStringLiteral("usage"), top);
    if (!usage)
        return std::nullopt;
    const Path path = top.member(QStringLiteral("usage"));
    Usage result{tokenCount(read, *usage, QStringLiteral("prompt_tokens"), path),
                 tokenCount(read, *usage, QStringLiteral("completion_tokens"), path), std::nullopt};
    const QString detailsKey = QStringLiteral("completion_tokens_details");
    if (const auto details = read.optionalObject(*usage, detailsKey, path))
        result.reasoning_tokens =
            tokenCount(read, *details, QStringLiteral("reasoning_tokens"), path.member(detailsKey));
    return result;
}

} // namespace

Result<OpenAiCompletionResponse> OpenAiCompletionResponse::decode(const QByteArray& utf8)
{
    using namespace JsonFields;
    Reader read;
    const Path top;
    const QJsonObject root = read.parseObject(utf8);
    const QJsonArray choices = read.requireArray(root, QStringLiteral("choices"), top);
    const Path choicesPath = top.member(QStringLiteral("choices"));
    OpenAiCompletionResponse response;
    response.choices.reserve(choices.size());
    for (qsizetype i = 0; i < choices.size(); ++i) {
        const Path path = choicesPath.element(i);
        const QJsonObject entry = read.requireObject(choices.at(i), path);
        Choice choice;
        choice.finish_reason = read.optionalString(entry, QStringLiteral("finish_reason"), path);
        choice.index = read.requireInt(entry, QStringLiteral("index"), path);
        const Path deltaPath = path.member(QStringLiteral("delta"));
        const QJsonObject delta = read.requireObject(entry, QStringLiteral("delta"), path);
        choice.delta.role = read.optionalString(delta, QStringLiteral("role"), deltaPath);
        choice.delta.content = read.optionalString(delta, QStringLiteral("content"), deltaPath);
        choice.delta.reasoning_content = read.optionalString(delta, QStringLiteral("reasoning_content"), deltaPath);
        choice.delta.reasoning = read.optionalString(delta, QStringLiteral("reasoning"), deltaPath);
        if (const auto call = read.optionalObject(delta, QStringLiteral("function_call"), deltaPath)) {
            const Path callPath = deltaPath.member(QStringLiteral("function_call"));
            choice.delta.function_call = Delta::FunctionCall{
                read.optionalString(*call, QStringLiteral("name"), callPath),
                read.optionalString(*call, QStringLiteral("arguments"), callPath),
            };
        }
        choice.delta.tool_calls = decodeToolCalls(read, delta, deltaPath);
        response.choices.append(std::move(choice));
    }
    response.usage = decodeUsage(read, root, top);
    return read.result(std::move(response));
}
