#include "openai/ChatWireRecords.h"

#include "core/RequestErrors.h"
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
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

OpenAiCompletionResponse OpenAiCompletionResponse::decode(const QByteArray& utf8)
{
    using namespace JsonFields;
    const Path top;
    const QJsonObject root = parseObject(utf8);
    const QJsonArray choices = requireArray(root, QStringLiteral("choices"), top);
    const Path choicesPath = top.member(QStringLiteral("choices"));
    OpenAiCompletionResponse response;
    response.choices.reserve(choices.size());
    for (qsizetype i = 0; i < choices.size(); ++i) {
        const Path path = choicesPath.element(i);
        const QJsonObject entry = requireObject(choices.at(i), path);
        Choice choice;
        choice.finish_reason = optionalString(entry, QStringLiteral("finish_reason"), path);
        choice.index = requireInt(entry, QStringLiteral("index"), path);
        const Path deltaPath = path.member(QStringLiteral("delta"));
        const QJsonObject delta = requireObject(entry, QStringLiteral("delta"), path);
        choice.delta.role = optionalString(delta, QStringLiteral("role"), deltaPath);
        choice.delta.content = optionalString(delta, QStringLiteral("content"), deltaPath);
        if (const auto call = optionalObject(delta, QStringLiteral("function_call"), deltaPath)) {
            const Path callPath = deltaPath.member(QStringLiteral("function_call"));
            choice.delta.function_call = Delta::FunctionCall{
                optionalString(*call, QStringLiteral("name"), callPath),
                optionalString(*call, QStringLiteral("arguments"), callPath),
            };
        }
        response.choices.append(std::move(choice));
    }
    return response;
}

std::optional<OpenAiCompletionResponse> OpenAiCompletionResponse::tryDecode(const QByteArray& utf8, QByteArray* error)
{
    try {
        return decode(utf8);
    } catch (const DecodingError& failure) {
        if (error)
            *error = failure.what();
        return std::nullopt;
    }
}
