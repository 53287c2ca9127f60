#include "chat/OpenAiService.h"

#include "chat/ChatLog.h"
#include "chat/ChatReply.h"
#include "chat/HistorySelection.h"
#include "core/Endpoints.h"
#include "core/Settings.h"
#include "core/StdoutLine.h"
#include "core/UntrustedText.h"
#include "extensions/ExtensionRegistry.h"
#include "openai/AccountModels.h"

#include <QLocale>

#include <algorithm>

namespace {

const QByteArray doneMarker = QByteArrayLiteral("[DONE]");
const QString chatPath = QStringLiteral("/v1/chat/completions");
const QString functionRole = QStringLiteral("function");
const QString toolRole = QStringLiteral("tool");
const QString systemRole = QStringLiteral("system");

} // namespace

ChatTarget ChatTarget::current()
{
    const QString model = Settings::instance().model();
    const AccountModels& account = AccountModels::instance();
    return {model, Endpoints::openAiServer(), contextLengthForModel(model, account.models())};
}

ChatTarget ChatTarget::forModel(const QString& model)
{
    return {model, {Endpoints::openAiServer().base, true}, contextLengthForModel(model)};
}

QString OpenAiService::tooLongText(const ChatTarget& target)
{
    return QStringLiteral("This message is too long for the context of %1 (%2 tokens). Please shorten it, or "
                          "choose a model with a longer context.")
        .arg(target.model, QLocale(QLocale::English).toString(target.contextLength));
}

QList<ApiMessage> OpenAiService::toApiMessages(const Message& message, bool toolCalls)
{
    const bool hasCall = message.functionName() && !message.functionName()->isEmpty();
    const bool hasResult = message.functionResult() && !message.functionResult()->isEmpty();
    const QString role = message.role().value_or(QString());
    if (toolCalls && hasCall) {
        ApiMessage call;
        call.role = role;
        call.content = message.content();
        if (!hasResult) {
            // An assistant message needs either text or a call.
            call.content = message.content().value_or(QString());
            return {call};
        }
        const QString id = QStringLiteral("call_") + QString::number(message.primaryKey());
        // Servers of this form read the arguments as JSON, so none are sent as an empty object.
        const QString arguments = message.functionArguments().value_or(QString());
        call.tool_calls = QList<ApiMessage::ToolCall>{
            {id, *message.functionName(), arguments.isEmpty() ? QStringLiteral("{}") : arguments}};
        ApiMessage answer;
        answer.role = toolRole;
        answer.content = message.functionResult();
        answer.tool_call_id = id;
        return {call, answer};
    }

    std::optional<ApiMessage::FunctionCall> call;
    if (hasCall)
        call = ApiMessage::FunctionCall{*message.functionName(), message.functionArguments()};
    QList<ApiMessage> result{ApiMessage{role, message.content(), std::nullopt, call, std::nullopt, std::nullopt}};
    if (hasResult) {
        result.append(ApiMessage{functionRole, message.functionResult(), message.functionName(), std::nullopt,
                                 std::nullopt, std::nullopt});
    }
    return result;
}

ModelInput OpenAiService::makeModelInput(const ChatTarget& target, const QString& systemPrompt,
                                         const std::vector<MessagePtr>& history, const QList<ApiFunction>& functions,
                                         bool* newestLeftOut)
{
    ModelInput input;
    input.model = target.model;
    input.messages.append(ApiMessage{systemRole, systemPrompt, std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    const std::vector<MessagePtr> kept =
        selectHistory(history, initialSizeEstimate(systemPrompt, functions), target.contextLength);
    if (newestLeftOut) {
        const auto newest =
            std::find_if(history.rbegin(), history.rend(), [](const MessagePtr& m) { return isSentInHistory(*m); });
        *newestLeftOut = newest != history.rend() && (kept.empty() || kept.back() != *newest);
    }
    const bool toolCalls = target.usesToolCalls();
    input.include_usage = !target.isBuiltIn();
    for (const MessagePtr& message : kept)
        input.messages.append(toApiMessages(*message, toolCalls));
    if (!functions.isEmpty()) {
        if (toolCalls) {
            input.tools = functions;
            // One call at a time keeps each call and its result in a message
            // of their own; only OpenAI's own server is known to take the field.
            if (target.server.isOpenAi)
                input.parallel_tool_calls = false;
        } else {
            input.functions = functions;
        }
    }
    return input;
}

void OpenAiService::decodeStreamEvent(const QString& data, const ParsedMessageCallback& onParsedMessage,
                                      const std::function<void()>& stop, bool toolCalls, ReasoningSplitter* splitter)
{
    decodeStreamEvent(data.toUtf8(), onParsedMessage, stop, toolCalls, splitter);
}

namespace {

// Some servers send the thinking under both names; the same text is taken once.
std::optional<QString> reasoningOf(const Delta& delta)
{
    const QString first = delta.reasoning_content.value_or(QString());
    const QString second = delta.reasoning.value_or(QString());
    if (first.isEmpty() || first == second)
        return second.isEmpty() ? std::nullopt : std::optional(second);
    return second.isEmpty() ? first : first + second;
}

// Splits the delta's text, adding what it held of thinking to the fields'.
void splitContent(ParsedDelta& delta, ReasoningSplitter& splitter)
{
    if (!delta.content)
        return;
    const ReasoningSplitter::Piece piece = splitter.feed(*delta.content);
    delta.content = piece.answer;
    delta.contentIsReasoning = piece.earlierAnswerIsReasoning;
    if (!piece.reasoning.isEmpty() || piece.earlierAnswerIsReasoning)
        delta.reasoning = delta.reasoning.value_or(QString()) + piece.reasoning;
}

} // namespace

void OpenAiService::decodeStreamEvent(const QByteArray& data, const ParsedMessageCallback& onParsedMessage,
                                      const std::function<void()>& stop, bool toolCalls, ReasoningSplitter* splitter)
{
    if (data == doneMarker) {
        if (splitter) {
            const ReasoningSplitter::Piece held = splitter->finish();
            if (!held.reasoning.isEmpty() || !held.answer.isEmpty()) {
                ParsedDelta rest;
                if (!held.reasoning.isEmpty())
                    rest.reasoning = held.reasoning;
                if (!held.answer.isEmpty())
                    rest.content = held.answer;
                onParsedMessage(rest);
            }
        }
        stop();
        return;
    }
    const Result<OpenAiCompletionResponse> response = OpenAiCompletionResponse::decode(data);
    if (!response) {
        printStdoutLine(QStringLiteral("Unable to decode json"));
        // The description may quote the server; no control character reaches a terminal.
        printStdoutLine(UntrustedText::escaped(response.errorText(), UntrustedText::Escape::TerminalControls));
        stop();
        return;
    }
    // The counts follow whatever the chunk carries, so they always come last.
    const auto passUsage = [&] {
        if (!response->usage)
            return;
        ParsedDelta counts;
        counts.usage = response->usage;
        onParsedMessage(counts);
    };
    // Some compatible services open with a chunk without choices; it carries
    // nothing and does not end the reply. The chunk with the token counts has
    // none either.
    if (response->choices.isEmpty()) {
        passUsage();
        return;
    }
    const Choice& choice = response->choices.first();
    const std::optional<QString> reasoning = reasoningOf(choice.delta);
    // The reply ends with "[DONE]", not with the finish reason.
    if (choice.finish_reason && !toolCalls) {
        passUsage();
        return;
    }
    if (choice.finish_reason && !choice.delta.content && !reasoning && choice.delta.tool_calls.isEmpty()) {
        passUsage();
        return;
    }
    ParsedDelta delta;
    delta.content = choice.delta.content;
    delta.reasoning = reasoning;
    if (splitter)
        splitContent(delta, *splitter);
    if (choice.delta.function_call) {
        delta.functionName = choice.delta.function_call->name;
        delta.functionArguments = choice.delta.function_call->arguments;
    }
    QList<ParsedDelta> laterCalls;
    bool firstCallTaken = false;
    for (const Delta::ToolCall& call : choice.delta.tool_calls) {
        if (call.index < 0 || call.index >= maxCallsPerReply) {
            qCInfo(lcChat) << "A call with index" << call.index << "is beyond what one reply may ask for";
            continue;
        }
        // The reply's own call travels with its text, as in the older form.
        if (call.index == 0 && !firstCallTaken && !delta.functionName && !delta.functionArguments) {
            firstCallTaken = true;
            delta.functionName = call.name;
            delta.functionArguments = call.arguments;
            continue;
        }
        laterCalls.append(ParsedDelta{std::nullopt, call.name, call.arguments, call.index});
    }
    const bool deltaIsEmpty = !delta.content && !delta.functionName && !delta.functionArguments && !delta.reasoning;
    if (!deltaIsEmpty || laterCalls.isEmpty())
        onParsedMessage(delta);
    for (const ParsedDelta& call : laterCalls)
        onParsedMessage(call);
    passUsage();
}

QString OpenAiService::errorTextForStatus(int responseCode)
{
    switch (responseCode) {
    case 401: return invalidKeyText;
    case 404: return noModelAccessText;
    default: return genericErrorText;
    }
}

ChatReply* OpenAiService::sendChat(const QString& systemPrompt, const std::vector<MessagePtr>& history, QObject* parent)
{
    const ChatTarget target = ChatTarget::current();
    const std::optional<OpenAiCredentials> credentials = readCredentials(target.server);
    const QList<ApiFunction> functions = enabledFunctionDefinitions();
    // Everything read from the records is copied into the body here.
    bool newestLeftOut = false;
    const ModelInput input = makeModelInput(target, systemPrompt, history, functions, &newestLeftOut);

    auto* reply = new ChatReply(target.usesToolCalls(), !target.isBuiltIn(), parent);
    // Nothing to authorise the request with, or nothing worth asking.
    if (!credentials) {
        qCInfo(lcChat) << "No API key stored; the chat request is not sent";
        reply->failWithoutSending(invalidKeyText);
        return reply;
    }
    if (newestLeftOut) {
        qCInfo(lcChat) << "The newest message does not fit the context of" << target.model << "; nothing is sent";
        reply->failWithoutSending(tooLongText(target));
        return reply;
    }

    Config config(Endpoints::openAiUrl(target.server, chatPath));
    config.method = QByteArrayLiteral("POST");
    config.headers.insert(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json"));
    for (const auto& [name, value] : authorizationHeaders(credentials->apiKey, credentials->orgKey))
        config.headers.insert(name, value);
    config.body = input.encode();
    reply->start(std::move(config));
    return reply;
}
