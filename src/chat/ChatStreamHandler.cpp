#include "chat/ChatStreamHandler.h"

#include "chat/ActiveStreams.h"
#include "chat/ChatLog.h"

ChatStreamHandler::ChatStreamHandler(const QUuid& streamId, OpenAiService::ParsedMessageCallback onParsedMessage,
                                     OpenAiService::StopCallback onStop, OpenAiService::ErrorCallback onError,
                                     bool toolCalls, bool splitsThinking)
    : m_streamId(streamId)
    , m_onParsedMessage(std::move(onParsedMessage))
    , m_onStop(std::move(onStop))
    , m_onError(std::move(onError))
    , m_toolCalls(toolCalls)
{
    if (splitsThinking)
        m_splitter.emplace();
}

void ChatStreamHandler::onEvent(const QByteArray& eventType, const MessageEvent& event)
{
    Q_UNUSED(eventType);
    // Events already read in the chunk that carried "[DONE]" still arrive.
    if (m_ended.load())
        return;
    OpenAiService::decodeStreamEvent(
        event.data,
        [this](const ParsedDelta& delta) {
            if (!m_ended.load() && m_onParsedMessage)
                m_onParsedMessage(delta);
        },
        [this] { stopProcedure(); }, m_toolCalls, m_splitter ? &*m_splitter : nullptr);
}

void ChatStreamHandler::onError(const EventSourceErrorPtr& error)
{
    errorProcedure(errorText(error));
}

void ChatStreamHandler::onClose()
{
    if (m_ended.load())
        return;
    qCInfo(lcChat) << "Reply" << m_streamId.toString(QUuid::WithoutBraces) << "ended without [DONE]";
    errorProcedure(OpenAiService::genericErrorText);
}

ConnectionErrorAction ChatStreamHandler::connectionError(const EventSourceErrorPtr& error)
{
    const ConnectionErrorAction action = Config::defaultConnectionErrorHandler(error);
    if (action == ConnectionErrorAction::shutdown)
        errorProcedure(errorText(error));
    return action;
}

void ChatStreamHandler::stopProcedure()
{
    if (!claimEnd())
        return;
    // The registry may hold the last reference to this handler.
    const auto self = shared_from_this();
    endStream();
    if (m_onStop)
        m_onStop();
}

void ChatStreamHandler::errorProcedure(const QString& text)
{
    if (!claimEnd())
        return;
    const auto self = shared_from_this();
    endStream();
    if (m_onError)
        m_onError(text);
}

bool ChatStreamHandler::cancel()
{
    if (!claimEnd())
        return false;
    const auto self = shared_from_this();
    endStream();
    return true;
}

void ChatStreamHandler::endStream()
{
    // Destroying the stream, even from inside one of its own calls, is safe:
    // it shuts down on its thread once the current call is over.
    if (std::optional<ActiveStream> stream = activeStreams().take(m_streamId)) {
        if (stream->source)
            stream->source->stop();
    }
}

QString ChatStreamHandler::errorText(const EventSourceErrorPtr& error)
{
    if (const auto unsuccessful = std::dynamic_pointer_cast<const UnsuccessfulResponseError>(error))
        return OpenAiService::errorTextForStatus(unsuccessful->responseCode());
    return OpenAiService::genericErrorText;
}
