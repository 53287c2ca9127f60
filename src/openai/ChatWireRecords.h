#pragma once

#include "openai/ApiFunction.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "core/Result.h"

#include <optional>

// The chat-completions exchange as it goes over the wire. Encoding is compact;
// an absent optional field is left out, never written as null. Decoding ignores
// unknown keys and fails when a required field is missing.
// Fields carry the names of their JSON keys.
// NOLINTBEGIN(readability-identifier-naming)

struct ApiMessage {
    struct FunctionCall {
        QString name;
        std::optional<QString> arguments; // the model's JSON text, unchanged
        bool operator==(const FunctionCall&) const = default;
    };

    // The newer form of a call: an id that the "tool" message answering it repeats.
    struct ToolCall {
        QString id;
        QString name;
        QString arguments;
        bool operator==(const ToolCall&) const = default;
    };

    QString role;
    std::optional<QString> content;
    std::optional<QString> name; // only on "function" messages
    std::optional<FunctionCall> function_call;
    std::optional<QList<ToolCall>> tool_calls; // assistant messages of the tools form
    std::optional<QString> tool_call_id;       // "tool" messages

    QJsonObject toJson() const;
    bool operator==(const ApiMessage&) const = default;
};

// The request body.
struct ModelInput {
    bool stream = true;
    QString model;
    QList<ApiMessage> messages;
    std::optional<QList<ApiFunction>> functions; // absent rather than empty
    // The tools form of the same definitions, for models and servers that
    // expect it; never sent together with `functions`.
    std::optional<QList<ApiFunction>> tools;
    std::optional<bool> parallel_tool_calls;
    // Sent as "stream_options": {"include_usage": true}, which asks for a last
    // chunk with the token counts.
    bool include_usage = false;

    QByteArray encode() const;
};

// One streamed chunk.
struct Delta {
    struct FunctionCall {
        std::optional<QString> name;
        std::optional<QString> arguments;
    };

    // One entry of "tool_calls": `index` tells the calls of one reply apart.
    struct ToolCall {
        int index = 0;
        std::optional<QString> id;
        std::optional<QString> name;
        std::optional<QString> arguments;
    };

    std::optional<QString> role;
    std::optional<QString> content;
    // A reasoning model's thinking; servers name the field either way.
    std::optional<QString> reasoning_content;
    std::optional<QString> reasoning;
    std::optional<FunctionCall> function_call;
    QList<ToolCall> tool_calls;
};

struct Choice {
    std::optional<QString> finish_reason;
    int index = 0;
    Delta delta;
};

// The token counts of a whole reply, in the last chunk when asked for.
struct Usage {
    std::optional<int> prompt_tokens;
    std::optional<int> completion_tokens;
    std::optional<int> reasoning_tokens; // "completion_tokens_details"
    bool operator==(const Usage&) const = default;
};
// NOLINTEND(readability-identifier-naming)

struct OpenAiCompletionResponse {
    QList<Choice> choices;
    std::optional<Usage> usage;

    static Result<OpenAiCompletionResponse> decode(const QByteArray& utf8);
};
