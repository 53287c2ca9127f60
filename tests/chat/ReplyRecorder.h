#pragma once

#include "chat/ChatReply.h"
#include "chat/OpenAiService.h"

#include <QStringList>
#include <QTest>

// Sends one chat request and collects its pieces' text and every end: `finished`
// for finished(), the text of failed().
class ReplyRecorder : public QObject {
public:
    static inline const QString finished = QStringLiteral("(finished)");

    explicit ReplyRecorder(const QString& systemPrompt, const std::vector<MessagePtr>& history = {})
    {
        reply = OpenAiService::sendChat(systemPrompt, history, this);
        connect(reply, &ChatReply::piece, this, [this](const ParsedDelta& delta) {
            contents.append(delta.content.value_or(QStringLiteral("<none>")));
        });
        connect(reply, &ChatReply::finished, this, [this] { ends.append(finished); });
        connect(reply, &ChatReply::failed, this, [this](const QString& text) { ends.append(text); });
    }

    bool waitForEnd()
    {
        return QTest::qWaitFor([this] { return !ends.isEmpty(); }, 10000);
    }

    ChatReply* reply;
    QStringList contents;
    QStringList ends;
};
