#include "vorbel-cli/ConversationCommands.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "vorbel-cli/TextFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConversationCommands {

namespace {

QString idText(const std::optional<QUuid>& id)
{
    return id ? id->toString(QUuid::WithoutBraces) : QString();
}

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

ConversationPtr findConversation(StoreContext& store, const QString& idText)
{
    const QUuid id = QUuid::fromString(idText.trimmed());
    if (id.isNull())
        return nullptr;
    return store.conversationWithId(id);
}

int list(CliEnvironment& environment)
{
    const ConversationListModel conversations(environment.store);
    for (int row = 0; row < conversations.rowCount(); ++row) {
        const ConversationPtr conversation = conversations.recordAt(row);
        const AssistantPtr assistant = conversation->assistant();
        const QString name = assistant && assistant->name() ? *assistant->name() : QStringLiteral("unknown");
        environment.io.out << TextFormats::tsvLine(
            {idText(conversation->id()), name, TextFormats::isoTime(conversation->updatedAt())})
                           << '\n';
    }
    environment.io.out.flush();
    return ExitSuccess;
}

QString conversationMarkdown(const Conversation& conversation)
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
            text += TextFormats::fencedBlock(message->functionArguments().value_or(QString()), QStringLiteral("json"));
            text += QLatin1Char('\n');
        }
        if (message->functionResult()) {
            text += QStringLiteral("Result:\n\n");
            text += TextFormats::fencedBlock(*message->functionResult());
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
            {QStringLiteral("updatedAt"), message->updatedAt()
                 ? QJsonValue(TextFormats::isoTime(message->updatedAt()))
                 : QJsonValue(QJsonValue::Null)},
        });
    }
    return QJsonDocument(messages).toJson(QJsonDocument::Compact);
}

int show(CliEnvironment& environment, const CommandArguments& arguments)
{
    if (arguments.positionals.isEmpty())
        return reportError(environment.io, ExitUsage, QStringLiteral("missing conversation id"));
    if (arguments.positionals.size() > 1)
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("unexpected argument \"%1\"").arg(arguments.positionals.at(1)));
    const ConversationPtr conversation = findConversation(environment.store, arguments.positionals.first());
    if (!conversation)
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("no conversation with id %1").arg(arguments.positionals.first()));
    if (arguments.flags.contains(QStringLiteral("json")))
        environment.io.out << QString::fromUtf8(messagesJson(*conversation)) << '\n';
    else
        environment.io.out << conversationMarkdown(*conversation);
    environment.io.out.flush();
    return ExitSuccess;
}

} // namespace ConversationCommands
