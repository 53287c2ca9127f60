#pragma once

#include "openai/ApiFunction.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The chat-completions exchange as it goes over the wire. Encoding is compact;
// an absent optional field is left out, never written as null. Decoding ignores
// unknown keys and throws DecodingError when a required field is missing.

struct ApiMessage {
    struct FunctionCall {
        QString name;
        std::optional<QString> arguments; // the model's JSON text, unchanged
        bool operator==(const FunctionCall&) const = default;
    };

    QString role;
    std::optional<QString> content;
    std::optional<QString> name; // only on "function" messages
    std::optional<FunctionCall> function_call;

    QJsonObject toJson() const;
    bool operator==(const ApiMessage&) const = default;
};

// The request body.
struct ModelInput {
    bool stream = true;
    QString model;
    QList<ApiMessage> messages;
    std::optional<QList<ApiFunction>> functions; // absent rather than empty

    QByteArray encode() const;
};

// One streamed chunk.
struct Delta {
    struct FunctionCall {
        std::optional<QString> name;
        std::optional<QString> arguments;
    };

    std::optional<QString> role;
    std::optional<QString> content;
    std::optional<FunctionCall> function_call;
};

struct Choice {
    std::optional<QString> finish_reason;
    int index = 0;
    Delta delta;
};

struct OpenAiCompletionResponse {
    QList<Choice> choices;

    static OpenAiCompletionResponse decode(const QByteArray& utf8); // throws DecodingError
    // The same without an exception: no value, and `error` describes why.
    static std::optional<OpenAiCompletionResponse> tryDecode(const QByteArray& utf8, QByteArray* error);
};
