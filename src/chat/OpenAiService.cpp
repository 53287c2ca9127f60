#include "chat/OpenAiService.h"

#include "core/Endpoints.h"
#include "core/Settings.h"
#include "chat/ActiveStreams.h"
#include "chat/ChatLog.h"
#include "chat/ChatStreamHandler.h"
#include "chat/HistorySelection.h"
#include "eventsource/EventSource.h"
#include "extensions/ExtensionRegistry.h"

#include <QMutex>
#include <QThreadPool>

#include <cstdio>

namespace {

const QByteArray doneMarker = QByteArrayLiteral("[DONE]");
const QString chatPath = QStringLiteral("/v1/chat/completions");
const QString functionRole = QStringLiteral("function");
const QString systemRole = QStringLiteral("system");

// Both lines in one write, so lines from streams decoding at the same time do
// not interleave.
void printDecodingFailure(const QByteArray& description)
{
    static QMutex outputLock;
    const QByteArray text = QByteArrayLiteral("Unable to decode json\n") + description + '\n';
    QMutexLocker locker(&outputLock);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    std::fflush(stdout);
}

} // namespace

QList<ApiMessage> OpenAiService::toApiMessages(const Message& message)
{
    std::optional<ApiMessage::FunctionCall> call;
    if (message.functionName() && !message.functionName()->isEmpty())
        call = ApiMessage::FunctionCall{*message.functionName(), message.functionArguments()};

    QList<ApiMessage> result{ApiMessage{message.role().value_or(QString()), message.content(), std::nullopt, call}};
    if (message.functionResult() && !message.functionResult()->isEmpty())
        result.append(ApiMessage{functionRole, message.functionResult(), message.functionName(), std::nullopt});
    return result;
}

ModelInput OpenAiService::makeModelInput(const QString& model, const QString& systemPrompt,
                                         const std::vector<MessagePtr>& history, const QList<ApiFunction>& functions)
{
    ModelInput input;
    input.model = model;
    input.messages.append(ApiMessage{systemRole, systemPrompt, std::nullopt, std::nullopt});
    const std::vector<MessagePtr> kept =
        selectHistory(history, initialSizeEstimate(systemPrompt, functions), contextLengthForModel(model));
    for (const MessagePtr& message : kept)
        input.messages.append(toApiMessages(*message));
    if (!functions.isEmpty())
        input.functions = functions;
    return input;
}

void OpenAiService::decodeStreamEvent(const QString& data, const ParsedMessageCallback& onParsedMessage,
                                      const std::function<void()>& stop)
{
    decodeStreamEvent(data.toUtf8(), onParsedMessage, stop);
}

void OpenAiService::decodeStreamEvent(const QByteArray& data, const ParsedMessageCallback& onParsedMessage,
                                      const std::function<void()>& stop)
{
    if (data == doneMarker) {
        stop();
        return;
    }
    QByteArray error;
    const std::optional<OpenAiCompletionResponse> response = OpenAiCompletionResponse::tryDecode(data, &error);
    if (!response) {
        printDecodingFailure(error);
        stop();
        return;
    }
    // Some compatible services open with a chunk without choices; it carries
    // nothing and does not end the reply.
    if (response->choices.isEmpty())
        return;
    const Choice& choice = response->choices.first();
    // The reply ends with "[DONE]", not with the finish reason.
    if (choice.finish_reason)
        return;
    ParsedDelta delta;
    delta.content = choice.delta.content;
    if (choice.delta.function_call) {
        delta.functionName = choice.delta.function_call->name;
        delta.functionArguments = choice.delta.function_call->arguments;
    }
    onParsedMessage(delta);
}

QString OpenAiService::errorTextForStatus(int responseCode)
{
    switch (responseCode) {
    case 401:
        return invalidKeyText;
    case 404:
        return noModelAccessText;
    default:
        return genericErrorText;
    }
}

QUuid OpenAiService::sendChat(const QString& systemPrompt, const std::vector<MessagePtr>& history,
                              ParsedMessageCallback onParsedMessage, StopCallback onStop, ErrorCallback onError)
{
    const QString model = Settings::instance().model();
    const std::optional<OpenAiCredentials> credentials = readCredentials();
    const QList<ApiFunction> functions = enabledFunctionDefinitions();
    // Everything read from the records is copied into the body here, on the
    // calling thread.
    const ModelInput input = makeModelInput(model, systemPrompt, history, functions);

    const QUuid streamId = QUuid::createUuid();
    auto handler = std::make_shared<ChatStreamHandler>(streamId, std::move(onParsedMessage), std::move(onStop),
                                                       std::move(onError));
    if (!credentials) {
        // Nothing to authorise the request with: report it the way the service
        // would, from a thread other than the caller's like every callback.
        qCInfo(lcChat) << "No API key stored; the chat request is not sent";
        activeStreams().insertAndStart(streamId, ActiveStream{nullptr, handler});
        QThreadPool::globalInstance()->start([handler] { handler->errorProcedure(invalidKeyText); });
        return streamId;
    }

    Config config(handler, Endpoints::join(Endpoints::openAiBase(), chatPath));
    config.method = QByteArrayLiteral("POST");
    config.headers.insert(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json"));
    for (const auto& [name, value] : authorizationHeaders(credentials->apiKey, credentials->orgKey))
        config.headers.insert(name, value);
    config.body = input.encode();
    config.connectionErrorHandler = [handler](const EventSourceErrorPtr& error) {
        return handler->connectionError(error);
    };

    activeStreams().insertAndStart(streamId, ActiveStream{std::make_unique<EventSource>(std::move(config)), handler});
    return streamId;
}

bool OpenAiService::stopStream(const QUuid& streamId)
{
    std::optional<ActiveStream> stream = activeStreams().take(streamId);
    if (!stream)
        return false;
    // Marks the request over first, so no callback begins from here on; the
    // handler finds nothing left to remove.
    stream->handler->cancel();
    if (stream->source)
        stream->source->stop();
    return true;
}
