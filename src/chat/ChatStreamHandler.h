#pragma once

#include "chat/OpenAiService.h"
#include "eventsource/Config.h"
#include "eventsource/EventHandler.h"

#include <QUuid>

#include <atomic>
#include <memory>
#include <optional>

// Reports one chat request to its caller. Called on the stream's thread; it
// guarantees exactly one final callback (onStop or onError) and nothing after
// it, whichever of the reply's end, an error or a stop by the user comes first.
class ChatStreamHandler final : public EventHandler, public std::enable_shared_from_this<ChatStreamHandler> {
public:
    ChatStreamHandler(const QUuid& streamId, OpenAiService::ParsedMessageCallback onParsedMessage,
                      OpenAiService::StopCallback onStop, OpenAiService::ErrorCallback onError, bool toolCalls = false,
                      bool splitsThinking = false);

    void onEvent(const QByteArray& eventType, const MessageEvent& event) override;
    void onError(const EventSourceErrorPtr& error) override;
    // The connection ended without "[DONE]": reconnecting would send the same
    // request again and add a second completion to the reply, so it ends here.
    void onClose() override;

    // Keeps the stream's own decision; a stream that gives up by itself (a 204
    // answer) would otherwise leave the reply waiting for ever.
    ConnectionErrorAction connectionError(const EventSourceErrorPtr& error);

    // The stop procedure: ends the stream, forgets it, then onStop.
    void stopProcedure();
    // The error procedure: ends the stream, forgets it, then onError.
    void errorProcedure(const QString& text);
    // Ends the request without any callback. False when it had already ended.
    bool cancel();

    static QString errorText(const EventSourceErrorPtr& error);

private:
    bool claimEnd() { return !m_ended.exchange(true); }
    void endStream();

    const QUuid m_streamId;
    const OpenAiService::ParsedMessageCallback m_onParsedMessage;
    const OpenAiService::StopCallback m_onStop;
    const OpenAiService::ErrorCallback m_onError;
    const bool m_toolCalls; // the form of function calling the request asked for
    std::optional<ReasoningSplitter> m_splitter; // only touched on the stream's thread
    std::atomic<bool> m_ended{false};
};
