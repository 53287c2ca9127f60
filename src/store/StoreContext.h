#pragma once

#include "store/Records.h"
#include "store/SqliteStore.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class StoreWatcher;

// The single main context: an in-memory object graph over the database, used
// only on the UI thread. Changes are seen by observers at once (the signals
// below fire synchronously) and reach the file with the next save(). What
// other processes write to the same file comes in a few times a second, with
// the same signals.
class StoreContext : public QObject {
    Q_OBJECT
public:
    explicit StoreContext(std::unique_ptr<SqliteStore> database, QObject* parent = nullptr);
    // `databasePath` is the file this context stands for, also when the
    // database is only in memory because that file could not be used.
    StoreContext(std::unique_ptr<SqliteStore> database, const QString& databasePath, QObject* parent = nullptr);
    ~StoreContext() override;

    // False when changes are kept in memory only and are lost at exit.
    bool isPersistent() const { return m_database->isFile(); }
    const QString& databasePath() const { return m_databasePath; }

    // Store order (creation order); soft-deleted assistants included.
    std::vector<AssistantPtr> assistants() const;
    std::vector<ConversationPtr> conversations() const;
    AssistantPtr assistant(qint64 key) const;
    ConversationPtr conversation(qint64 key) const;
    ConversationPtr conversationWithId(const QUuid& id) const;
    // The saved conversation and message stored in this row of the file.
    ConversationPtr conversationWithRow(qint64 row) const;
    MessagePtr messageWithRow(const Conversation& conversation, qint64 row);
    const std::vector<MessagePtr>& messagesOf(const Conversation& conversation);

    AssistantPtr insertAssistant();
    ConversationPtr insertConversation();
    MessagePtr insertMessage(const ConversationPtr& conversation);
    // Removes the conversation and its messages.
    void deleteConversation(const ConversationPtr& conversation);
    // Removes one message (a reply stopped before anything arrived).
    void deleteMessage(const MessagePtr& message);

    bool hasChanges() const;
    // Writes every pending insert, change and removal in one transaction. On
    // failure the pending changes stay here for the next save.
    Result<void, StoreError> save();

    // Brings in what other connections committed since the last look: new,
    // changed and removed rows, and the messages of conversations whose
    // messages were read. Records with unsaved changes here keep them. Runs by
    // itself on a timer; returns whether anything came in.
    bool mergeExternalChanges();

    SqliteStore& database() { return *m_database; }

Q_SIGNALS:
    void assistantInserted(const AssistantPtr& assistant);
    void assistantChanged(const AssistantPtr& assistant);
    // Only when another process removed the row.
    void assistantRemoved(const AssistantPtr& assistant);
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
    friend class StoreWatcher;
    void recordChanged(Assistant& record);
    void recordChanged(Conversation& record);
    void recordChanged(Message& record);
    void adopt(Record& record, qint64 key);
    qint64 nextKey() { return m_nextKey++; }
    void detach(const ConversationPtr& conversation);
    void detach(const AssistantPtr& assistant);
    // What a message's texts in the file come to once the save commits.
    using WrittenTexts = std::pair<Message*, Message::StoredTexts>;
    bool writePending(std::vector<Record*>& givenRows, std::vector<WrittenTexts>& writtenTexts);
    qint64 assistantRow(qint64 key) const;
    qint64 conversationRow(qint64 key) const;

    template <typename T>
    struct Pending {
        QHash<qint64, std::shared_ptr<T>> inserted;
        QHash<qint64, std::shared_ptr<T>> updated;
        bool empty() const { return inserted.isEmpty() && updated.isEmpty(); }
        bool holds(const T& record) const
        {
            return inserted.contains(record.primaryKey()) || updated.contains(record.primaryKey());
        }
        void note(const std::shared_ptr<T>& record)
        {
            if (!inserted.contains(record->primaryKey()))
                updated.insert(record->primaryKey(), record);
        }
    };

    std::unique_ptr<SqliteStore> m_database;
    QString m_databasePath;
    QHash<qint64, AssistantPtr> m_assistants;
    QHash<qint64, ConversationPtr> m_conversations;
    // Keys for records made in this run: above any row key, so they never
    // meet a key of a row read later.
    qint64 m_nextKey = qint64(1) << 62;
    Pending<Assistant> m_pendingAssistants;
    Pending<Conversation> m_pendingConversations;
    Pending<Message> m_pendingMessages;
    std::vector<qint64> m_removedConversations; // rows
    std::vector<qint64> m_removedMessages;      // rows
    std::unique_ptr<StoreWatcher> m_watcher;
};
