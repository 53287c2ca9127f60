#include "store/ConversationExport.h"

#include "core/UntrustedText.h"
#include "store/StoreOperations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConversationExport {

namespace {

QString idText(const std::optional<QUuid>& id) { return id ? id->toString(QUuid::WithoutBraces) : QString(); }

QJsonValue jsonText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue jsonNumber(const std::optional<qint64>& number)
{
    return number ? QJsonValue(*number) : QJsonValue(QJsonValue::Null);
}

// The model's thinking as HTML-safe text: it can neither close the block it
// sits in nor open markup of its own.
QString thinkingBlock(const QString& thinking)
{
    QString text = thinking;
    text.replace(QLatin1Char('&'), QLatin1String("&amp;")).replace(QLatin1Char('<'), QLatin1String("&lt;"));
    return QStringLiteral("<details><summary>Thinking</summary>\n\n%1\n\n</details>\n\n").arg(text.trimmed());
}

QString roleHeading(const Message& message)
{
    const QString role = message.role().value_or(QString());
    QString heading;
    if (role == QLatin1String("user"))
        heading = QStringLiteral("User");
    else if (role == QLatin1String("assistant"))
        heading = QStringLiteral("Assistant");
    else if (role == QLatin1String("app"))
        heading = QStringLiteral("Notice");
    else
        heading = role.isEmpty() ? QStringLiteral("Message") : role;
    // A reply that was cut off stays as it arrived; say so.
    if (role == QLatin1String("assistant") && !message.done())
        heading += QStringLiteral(" (incomplete)");
    return QStringLiteral("## ") + heading;
}

} // namespace

QString isoTime(const std::optional<QDateTime>& time)
{
    if (!time || !time->isValid())
        return QString();
    return time->toUTC().toString(Qt::ISODateWithMs);
}

QString fencedBlock(const QString& text, const QString& infoString)
{
    const QString fence = UntrustedText::fenceFor(text);
    QString block = fence + infoString + QLatin1Char('\n') + text;
    if (!text.endsWith(QLatin1Char('\n')))
        block += QLatin1Char('\n');
    return block + fence + QLatin1Char('\n');
}

QString markdown(const Conversation& conversation)
{
    const AssistantPtr assistant = conversation.assistant();
    QString text = QStringLiteral("# Conversation with %1\n\n")
                       .arg(assistant && assistant->name() ? *assistant->name() : QStringLiteral("unknown"));
    for (const MessagePtr& message : orderedMessages(conversation)) {
        // Every block ends with a blank line; the last one is trimmed below.
        text += roleHeading(*message) + QStringLiteral("\n\n");
        if (message->reasoning() && !message->reasoning()->trimmed().isEmpty())
            text += thinkingBlock(*message->reasoning());
        const QString content = message->content().value_or(QString());
        if (!content.isEmpty())
            text += content + (content.endsWith(QLatin1Char('\n')) ? QStringLiteral("\n") : QStringLiteral("\n\n"));
        if (message->functionName() && !message->functionName()->isEmpty()) {
            text += QStringLiteral("Function call `%1`:\n\n").arg(*message->functionName());
            text += fencedBlock(message->functionArguments().value_or(QString()), QStringLiteral("json"));
            text += QLatin1Char('\n');
        }
        if (message->functionResult()) {
            text += QStringLiteral("Result:\n\n");
            text += fencedBlock(*message->functionResult());
            text += QLatin1Char('\n');
        }
    }
    while (text.endsWith(QStringLiteral("\n\n")))
        text.chop(1);
    return text;
}

QByteArray messagesJson(const Conversation& conversation)
{
    QJsonArray messages;
    for (const MessagePtr& message : orderedMessages(conversation)) {
        messages.append(QJsonObject{
            {QStringLiteral("id"), message->id() ? QJsonValue(idText(message->id())) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("role"), jsonText(message->role())},
            {QStringLiteral("content"), jsonText(message->content())},
            {QStringLiteral("done"), message->done()},
            {QStringLiteral("functionName"), jsonText(message->functionName())},
            {QStringLiteral("functionArguments"), jsonText(message->functionArguments())},
            {QStringLiteral("functionResult"), jsonText(message->functionResult())},
            {QStringLiteral("reasoning"), jsonText(message->reasoning())},
            {QStringLiteral("promptTokens"), jsonNumber(message->promptTokens())},
            {QStringLiteral("completionTokens"), jsonNumber(message->completionTokens())},
            {QStringLiteral("reasoningTokens"), jsonNumber(message->reasoningTokens())},
            {QStringLiteral("thinkingMs"), jsonNumber(message->thinkingMs())},
            {QStringLiteral("replyMs"), jsonNumber(message->replyMs())},
            {QStringLiteral("updatedAt"),
             message->updatedAt() ? QJsonValue(isoTime(message->updatedAt())) : QJsonValue(QJsonValue::Null)},
        });
    }
    return QJsonDocument(messages).toJson(QJsonDocument::Compact);
}

} // namespace ConversationExport
