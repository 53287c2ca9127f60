#pragma once

#include "chat/OpenAiService.h"
#include "chat/ReasoningSplitter.h"
#include "eventsource/Config.h"

#include <QObject>

#include <optional>

class EventSource;
struct MessageEvent;

// One streamed chat request, made by OpenAiService::sendChat. It emits any number
// of piece(), then exactly one finished() or failed(), then nothing; after abort()
// nothing at all. Every signal comes from the event loop of the thread that made it,
// never from inside sendChat().
class ChatReply : public QObject {
    Q_OBJECT
public:
    // `toolCalls` is the form of function calling the request asked for; with
    // `splitsThinking`, thinking written inline is taken out of the text.
    ChatReply(bool toolCalls, bool splitsThinking, QObject* parent = nullptr);

    // Sends the request.
    void start(Config config);
    // Fails with `text` without sending anything.
    void failWithoutSending(const QString& text);
    // Ends the request at once, without finished() or failed().
    void abort();

Q_SIGNALS:
    void piece(const ParsedDelta& delta);
    void finished();
    void failed(const QString& errorText);

private:
    void onEvent(const MessageEvent& event);
    void onFailed(const EventSourceError& error);
    // The connection ended without "[DONE]": reconnecting would send the same
    // request again and add a second completion to the reply, so it ends here.
    void onClosed();
    void finish();
    void fail(const QString& text);

    EventSource* m_source = nullptr;
    const bool m_toolCalls;
    std::optional<ReasoningSplitter> m_splitter;
    bool m_ended = false;
};
