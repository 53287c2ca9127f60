#pragma once

#include "store/SortedRecordModel.h"
#include "store/StoreContext.h"

// The live queries the screens bind to.

enum RecordRole {
    RecordIdRole = Qt::UserRole + 1,
    AssistantNameRole,
    IntroRole,
    ProfilePictureUrlRole,
    CreatedAtRole,
    UpdatedAtRole,
    RoleRole,
    ContentRole,
    DoneRole,
    FunctionNameRole,
    FunctionArgumentsRole,
    FunctionResultRole,
    TitleRole, // a conversation's own title; null when it has none
};

// All conversations, newest first.
class ConversationListModel : public SortedRecordModel<Conversation> {
    Q_OBJECT
public:
    explicit ConversationListModel(StoreContext& context, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
};

// Assistants that are not soft-deleted, by name.
class AssistantListModel : public SortedRecordModel<Assistant> {
    Q_OBJECT
public:
    explicit AssistantListModel(StoreContext& context, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
};

// The messages of one conversation, oldest first; same-time messages keep
// creation order.
class MessageListModel : public SortedRecordModel<Message> {
    Q_OBJECT
public:
    MessageListModel(StoreContext& context, const ConversationPtr& conversation, QObject* parent = nullptr);
    // Without the system prompt, as the conversation view lists them.
    enum class SystemPrompt { Listed, Left };
    MessageListModel(StoreContext& context, const ConversationPtr& conversation, SystemPrompt systemPrompt,
                     QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    ConversationPtr m_conversation;
};
