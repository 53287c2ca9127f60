#include "chat/ChatReply.h"

#include "chat/ChatLog.h"
#include "eventsource/EventSource.h"

ChatReply::ChatReply(bool toolCalls, bool splitsThinking, QObject* parent)
    : QObject(parent)
    , m_toolCalls(toolCalls)
{
    if (splitsThinking)
        m_splitter.emplace();
}

void ChatReply::start(Config config)
{
    // Every failure ends the reply: the stream is told to go on, so that it reports
    // the failure (a 204 answer too), and the reply stops it then.
    config.connectionErrorHandler = [](const EventSourceError&) { return ConnectionErrorAction::Proceed; };
    m_source = new EventSource(std::move(config), this);
    connect(m_source, &EventSource::eventReceived, this, &ChatReply::onEvent);
    connect(m_source, &EventSource::failed, this, &ChatReply::onFailed);
    connect(m_source, &EventSource::closed, this, &ChatReply::onClosed);
    m_source->start();
}

void ChatReply::failWithoutSending(const QString& text)
{
    // The caller connects to the signals only once sendChat() has returned.
    QMetaObject::invokeMethod(
        this, [this, text] { fail(text); }, Qt::QueuedConnection);
}

void ChatReply::onEvent(const MessageEvent& event)
{
    OpenAiService::decodeStreamEvent(
        event.data,
        [this](const ParsedDelta& delta) {
            // A slot may have ended the reply amid the pieces of one event.
            if (!m_ended)
                Q_EMIT piece(delta);
        },
        [this] { finish(); }, m_toolCalls, m_splitter ? &*m_splitter : nullptr);
}

void ChatReply::onFailed(const EventSourceError& error)
{
    fail(error.responseCode ? OpenAiService::errorTextForStatus(error.responseCode) : OpenAiService::genericErrorText);
}

void ChatReply::onClosed()
{
    qCInfo(lcChat) << "Reply" << static_cast<const void*>(this) << "ended without [DONE]";
    fail(OpenAiService::genericErrorText);
}

void ChatReply::abort()
{
    if (std::exchange(m_ended, true))
        return;
    if (m_source) {
        // Nothing of the stream, not even the close this causes, reaches the reply.
        m_source->disconnect(this);
        m_source->stop();
    }
}

void ChatReply::finish()
{
    if (m_ended)
        return;
    abort();
    Q_EMIT finished();
}

void ChatReply::fail(const QString& text)
{
    if (m_ended)
        return;
    abort();
    Q_EMIT failed(text);
}
