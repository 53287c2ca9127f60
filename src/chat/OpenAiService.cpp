#include "chat/OpenAiService.h"

#include "app/RequestErrors.h"
#include "chat/HistorySelection.h"

#include <QMutex>

#include <cstdio>

namespace {

const QString doneMarker = QStringLiteral("[DONE]");
const QString functionRole = QStringLiteral("function");
const QString systemRole = QStringLiteral("system");

// Both lines in one write, so lines from streams decoding at the same time do
// not interleave.
void printDecodingFailure(const char* description)
{
    static QMutex outputLock;
    const QByteArray text = QByteArrayLiteral("Unable to decode json\n") + QByteArray(description) + '\n';
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
    if (data == doneMarker) {
        stop();
        return;
    }
    OpenAiCompletionResponse response;
    try {
        response = OpenAiCompletionResponse::decode(data.toUtf8());
    } catch (const DecodingError& error) {
        printDecodingFailure(error.what());
        stop();
        return;
    }
    // Some compatible services open with a chunk without choices; it carries
    // nothing and does not end the reply.
    if (response.choices.isEmpty())
        return;
    const Choice& choice = response.choices.first();
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
