#pragma once

#include "openai/ChatWireRecords.h"
#include "openai/OpenAiRequests.h"
#include "store/Records.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

// The pieces of one streamed delta; each absent when the chunk did not carry it.
struct ParsedDelta {
    std::optional<QString> content;
    std::optional<QString> functionName;
    std::optional<QString> functionArguments;
    bool operator==(const ParsedDelta&) const = default;
};

// The streamed chat-completion request and what belongs to it. The plain calls
// (model list, embeddings) are in OpenAiRequests.h.
class OpenAiService {
public:
    using Request = OpenAiEmbeddingRequest;
    using ParsedMessageCallback = std::function<void(const ParsedDelta&)>;
    using StopCallback = std::function<void()>;
    using ErrorCallback = std::function<void(const QString& errorText)>;

    static inline const QString invalidKeyText =
        QStringLiteral("Unfortunately, your API key appears to be invalid. Please check it in Vorbel's settings.");
    static inline const QString noModelAccessText =
        QStringLiteral("Unortunately, it looks like you do not have access to GPT-4 yet.");
    static inline const QString genericErrorText =
        QStringLiteral("I'm sorry, but some sort of error happened. Please try re-submitting your message.");

    // Starts a streamed request and returns its stream id at once. Call on the UI
    // thread: the records of `history` (ordered, oldest first) are read before
    // this returns and never afterwards. The callbacks come from the stream's
    // own thread, one at a time and in order: any number of onParsedMessage,
    // then exactly one onStop or onError, then nothing. With no API key stored
    // nothing is sent and onError reports the invalid-key text.
    static QUuid sendChat(const QString& systemPrompt, const std::vector<MessagePtr>& history,
                          ParsedMessageCallback onParsedMessage, StopCallback onStop, ErrorCallback onError);

    // Ends a running request from any thread (the user stopped the reply or
    // deleted the conversation). From then on no callback of that request is
    // delivered, not even onStop; only one that the stream's thread was already
    // delivering at that moment may still complete. False when the id was not
    // running (already ended, or stopped before).
    static bool stopStream(const QUuid& streamId);

    // The request body for the current settings and offered functions, with
    // the history cut to the model's context. Reads records: UI thread.
    static ModelInput makeModelInput(const QString& model, const QString& systemPrompt,
                                     const std::vector<MessagePtr>& history, const QList<ApiFunction>& functions);

    // One stored message as the request carries it: the message itself, and
    // after it a "function" message when it holds a function result.
    static QList<ApiMessage> toApiMessages(const Message& message);

    // Handles the data of one event: "[DONE]" and undecodable data run `stop`;
    // a chunk whose first choice has a finish reason, or that has no choice,
    // passes nothing on.
    static void decodeStreamEvent(const QByteArray& utf8, const ParsedMessageCallback& onParsedMessage,
                                  const std::function<void()>& stop);
    static void decodeStreamEvent(const QString& data, const ParsedMessageCallback& onParsedMessage,
                                  const std::function<void()>& stop);

    // The user-facing text for an unsuccessful HTTP status.
    static QString errorTextForStatus(int responseCode);
};
