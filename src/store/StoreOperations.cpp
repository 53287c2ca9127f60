#include "store/StoreOperations.h"

#include "core/StdoutLine.h"

#include <algorithm>
#include <limits>

bool saveChanges(StoreContext& context)
{
    const Result<void, StoreError> saved = context.save();
    if (saved)
        return true;
    printStdoutLine(QStringLiteral("Error: %1, %2").arg(saved.error().description, saved.error().details));
    return false;
}

MessagePtr makeMessage(StoreContext& context, const QString& role, const QString& content,
                       const ConversationPtr& conversation, const std::optional<QString>& functionName, bool done)
{
    MessagePtr message = context.insertMessage(conversation);
    message->setId(QUuid::createUuid());
    message->setRole(role);
    message->setContent(content);
    message->setUpdatedAt(QDateTime::currentDateTimeUtc());
    message->setFunctionName(functionName);
    message->setDone(done);
    return message;
}

ConversationPtr createConversation(StoreContext& context, const AssistantPtr& assistant)
{
    ConversationPtr conversation = context.insertConversation();
    conversation->setId(QUuid::createUuid());
    conversation->setAssistant(assistant);
    conversation->setUpdatedAt(QDateTime::currentDateTimeUtc());
    conversation->setCreatedAt(QDateTime::currentDateTimeUtc());
    saveChanges(context);
    return conversation;
}

std::optional<QUrl> urlFromText(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

AssistantPtr createAssistant(StoreContext& context, const QString& name, const QString& personality,
                             const QString& pictureText, const QString& intro)
{
    AssistantPtr assistant = context.insertAssistant();
    assistant->setId(QUuid::createUuid());
    assistant->setName(name);
    assistant->setPersonality(personality);
    assistant->setProfilePictureUrl(urlFromText(pictureText));
    if (!intro.isEmpty())
        assistant->setIntro(intro);
    saveChanges(context);
    return assistant;
}

void softDeleteAssistants(StoreContext& context, const std::vector<AssistantPtr>& assistants)
{
    for (const auto& assistant : assistants)
        assistant->setDeletedAt(QDateTime::currentDateTimeUtc());
    saveChanges(context);
}

void deleteConversation(StoreContext& context, const ConversationPtr& conversation)
{
    context.deleteConversation(conversation);
    saveChanges(context);
}

std::vector<AssistantPtr> allAssistants(const StoreContext& context) { return context.assistants(); }

bool messageOrderLess(const Message& a, const Message& b)
{
    constexpr qint64 now = std::numeric_limits<qint64>::max();
    const qint64 ta = a.updatedAt() ? a.updatedAt()->toMSecsSinceEpoch() : now;
    const qint64 tb = b.updatedAt() ? b.updatedAt()->toMSecsSinceEpoch() : now;
    if (ta != tb)
        return ta < tb;
    return a.createdBefore(b);
}

std::vector<MessagePtr> orderedMessages(const Conversation& conversation)
{
    std::vector<MessagePtr> list = conversation.messages();
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return messageOrderLess(*a, *b); });
    return list;
}
