#pragma once

#include "store/Records.h"
#include "store/SqliteStore.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>
#include <vector>

// The single main context: an in-memory object graph over the database, used
// only on the UI thread. Changes are seen by observers at once (the signals
// below fire synchronously) and reach the file with the next save().
class StoreContext : public QObject {
    Q_OBJECT
public:
    explicit StoreContext(std::unique_ptr<SqliteStore> database, QObject* parent = nullptr);
    ~StoreContext() override;

    // Store order (creation order); soft-deleted assistants included.
    std::vector<AssistantPtr> assistants() const;
    std::vector<ConversationPtr> conversations() const;
    AssistantPtr assistant(qint64 key) const;
    ConversationPtr conversation(qint64 key) const;
    ConversationPtr conversationWithId(const QUuid& id) const;
    const std::vector<MessagePtr>& messagesOf(const Conversation& conversation);

    AssistantPtr insertAssistant();
    ConversationPtr insertConversation();
    MessagePtr insertMessage(const ConversationPtr& conversation);
    // Removes the conversation and its messages.
    void deleteConversation(const ConversationPtr& conversation);

    bool hasChanges() const;
    // Writes every pending insert, change and removal in one transaction. On
    // failure the pending changes stay here for the next save.
    std::optional<StoreError> save();

    SqliteStore& database() { return *m_database; }

Q_SIGNALS:
    void assistantInserted(const AssistantPtr& assistant);
    void assistantChanged(const AssistantPtr& assistant);
    void conversationInserted(const ConversationPtr& conversation);
    void conversationChanged(const ConversationPtr& conversation);
    void conversationRemoved(const ConversationPtr& conversation);
    void messageInserted(const MessagePtr& message);
    void messageChanged(const MessagePtr& message);
    void messageRemoved(const MessagePtr& message);
    // After every save that wrote something.
    void saved();

private:
    friend class Assistant;
    friend class Conversation;
    friend class Message;
    void recordChanged(Assistant& record);
    void recordChanged(Conversation& record);
    void recordChanged(Message& record);
    void adopt(Record& record, qint64 key);
    bool writePending();

    template <typename T>
    struct Pending {
        QHash<qint64, std::shared_ptr<T>> inserted;
        QHash<qint64, std::shared_ptr<T>> updated;
        bool empty() const { return inserted.isEmpty() && updated.isEmpty(); }
        void note(const std::shared_ptr<T>& record)
        {
            if (!inserted.contains(record->primaryKey()))
                updated.insert(record->primaryKey(), record);
        }
    };

    std::unique_ptr<SqliteStore> m_database;
    QHash<qint64, AssistantPtr> m_assistants;
    QHash<qint64, ConversationPtr> m_conversations;
    qint64 m_nextAssistantKey = 1;
    qint64 m_nextConversationKey = 1;
    qint64 m_nextMessageKey = 1;
    Pending<Assistant> m_pendingAssistants;
    Pending<Conversation> m_pendingConversations;
    Pending<Message> m_pendingMessages;
    std::vector<qint64> m_removedConversations;
};
