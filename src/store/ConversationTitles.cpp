#include "store/ConversationTitles.h"

#include "store/StoreOperations.h"

namespace ConversationTitles {

std::optional<QString> fromPrompt(const QString& prompt)
{
    for (const QStringView line : QStringView(prompt).split(QLatin1Char('\n'))) {
        const QString text = line.trimmed().toString();
        if (text.isEmpty())
            continue;
        if (text.size() <= maxLength)
            return text;
        qsizetype cut = maxLength;
        // Never between the halves of a surrogate pair.
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        const qsizetype space = text.lastIndexOf(QLatin1Char(' '), cut);
        // A single word longer than the limit is cut inside the word.
        if (space > 0)
            cut = space;
        return QStringView(text).left(cut).trimmed().toString() + QStringLiteral("…");
    }
    return std::nullopt;
}

std::optional<QString> automaticTitle(const Conversation& conversation)
{
    for (const MessagePtr& message : orderedMessages(conversation)) {
        if (message->role() == QLatin1String("user"))
            return fromPrompt(message->content().value_or(QString()));
    }
    return std::nullopt;
}

void rename(StoreContext& context, const ConversationPtr& conversation, const QString& title)
{
    if (!conversation || conversation->isDeleted())
        return;
    QString text = title;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.trimmed();
    conversation->setTitle(text.isEmpty() ? automaticTitle(*conversation) : std::optional<QString>(text));
    saveChanges(context);
}

} // namespace ConversationTitles
