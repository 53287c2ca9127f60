#pragma once

#include "chat/ReasoningSplitter.h"
#include "core/Endpoints.h"
#include "openai/ChatWireRecords.h"
#include "openai/OpenAiRequests.h"
#include "store/Records.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class ChatReply;
class QObject;

// The pieces of one streamed delta; each absent when the chunk did not carry it.
// `callIndex` tells apart the calls of a reply that asks for several at once
// (only the tools form does); 0 is the reply's own call. `reasoning` is the
// model's thinking, apart from the answer in `content`; when
// `contentIsReasoning`, the reply's text before this piece was thinking too.
// `usage` comes once, near the end, when the server was asked for it.
struct ParsedDelta {
    std::optional<QString> content;
    std::optional<QString> functionName;
    std::optional<QString> functionArguments;
    int callIndex = 0;
    std::optional<QString> reasoning = std::nullopt;
    bool contentIsReasoning = false;
    std::optional<Usage> usage = std::nullopt;
    bool operator==(const ParsedDelta&) const = default;
};

// What a chat request is for: the model, whether the server is OpenAI's own,
// and the history budget. Together they decide the form of function calling.
struct ChatTarget {
    QString model;
    Endpoints::OpenAiServer server;
    int contextLength = 4096;

    bool usesToolCalls() const { return ::usesToolCalls(model, server.isOpenAi); }
    // The built-in models on OpenAI's server keep their requests as they
    // always were and never write thinking into their text; any other model
    // is asked for its token counts and may think inline.
    bool isBuiltIn() const { return !usesToolCalls(); }
    // The settings and the account's model list as they are now (UI thread).
    static ChatTarget current();
    // A model on OpenAI's server (or the one that plays it), as far as the
    // built-in knowledge goes.
    static ChatTarget forModel(const QString& model);
};

// The streamed chat-completion request and what belongs to it: its body, its
// decoding and its failure texts.
class OpenAiService {
public:
    using ParsedMessageCallback = std::function<void(const ParsedDelta&)>;

    static inline const QString invalidKeyText =
        QStringLiteral("Unfortunately, your API key appears to be invalid. Please check it in Vorbel's settings.");
    static inline const QString noModelAccessText =
        QStringLiteral("Unortunately, it looks like you do not have access to GPT-4 yet.");
    static inline const QString genericErrorText =
        QStringLiteral("I'm sorry, but some sort of error happened. Please retry.");
    // The newest message alone does not fit the model's context: a request
    // without it would answer something else.
    static QString tooLongText(const ChatTarget& target);
    // A reply may ask for this many calls at once; later ones are dropped.
    static constexpr int maxCallsPerReply = 16;

    // Starts a streamed request and returns its reply at once, a child of `parent`.
    // Call on the UI thread: the records of `history` (ordered, oldest first) are
    // read before this returns and never afterwards. With no API key stored, or a
    // newest message too long for the model, nothing is sent and the reply fails
    // with the invalid-key or too-long text.
    static ChatReply* sendChat(const QString& systemPrompt, const std::vector<MessagePtr>& history, QObject* parent);

    // The request body for the target and offered functions, with the history
    // cut to the model's context. `newestLeftOut` tells whether the newest
    // message that would be sent did not fit. Reads records: UI thread.
    static ModelInput makeModelInput(const ChatTarget& target, const QString& systemPrompt,
                                     const std::vector<MessagePtr>& history, const QList<ApiFunction>& functions,
                                     bool* newestLeftOut = nullptr);
    static ModelInput makeModelInput(const QString& model, const QString& systemPrompt,
                                     const std::vector<MessagePtr>& history, const QList<ApiFunction>& functions)
    {
        return makeModelInput(ChatTarget::forModel(model), systemPrompt, history, functions);
    }

    // One stored message as the request carries it: the message itself, and
    // after it a "function" message when it holds a function result. In the
    // tools form the call goes as "tool_calls" with the id "call_" + the
    // message's key, answered by a "tool" message; a call without a result is
    // left out there, as such a request would be refused.
    static QList<ApiMessage> toApiMessages(const Message& message, bool toolCalls = false);

    // Handles the data of one event: "[DONE]" and undecodable data run `stop`;
    // a chunk that has no choice passes nothing on, and neither does one whose
    // first choice has a finish reason, unless `toolCalls` (servers of that
    // form may put the last pieces in the finishing chunk). The token counts
    // pass on as a piece of their own, whatever chunk carries them. With a
    // `splitter`, thinking written inline is taken out of the text; "[DONE]"
    // passes on what it held back before `stop`.
    static void decodeStreamEvent(const QByteArray& utf8, const ParsedMessageCallback& onParsedMessage,
                                  const std::function<void()>& stop, bool toolCalls = false,
                                  ReasoningSplitter* splitter = nullptr);
    static void decodeStreamEvent(const QString& data, const ParsedMessageCallback& onParsedMessage,
                                  const std::function<void()>& stop, bool toolCalls = false,
                                  ReasoningSplitter* splitter = nullptr);

    // The user-facing text for an unsuccessful HTTP status.
    static QString errorTextForStatus(int responseCode);
};
