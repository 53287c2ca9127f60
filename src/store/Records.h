#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class StoreContext;
class Assistant;
class Conversation;
class Message;

using AssistantPtr = std::shared_ptr<Assistant>;
using ConversationPtr = std::shared_ptr<Conversation>;
using MessagePtr = std::shared_ptr<Message>;

// A stored record. Records live in a StoreContext; every setter goes through the
// context, which marks the record for the next save and tells observers at once.
// A record that the context removed stays valid for whoever still holds it, but
// is detached: its changes are no longer stored.
class Record {
public:
    virtual ~Record() = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // What the record is known by while it lives; never changes, so views and
    // controllers may index by it. A record read from the file is known by its
    // row's key; one created in this run by a key above every row's, in
    // creation order. Either way it orders records by creation.
    qint64 primaryKey() const { return m_primaryKey; }
    // Creation order, the same in every process sharing the file: saved
    // records by their row, which the file hands out in order, then the
    // records not saved yet, which are newer, by their key. A save keeps the
    // order, as it writes new rows in key order.
    bool createdBefore(const Record& other) const
    {
        const auto order = [](const Record& r) {
            return std::pair(r.m_rowKey ? r.m_rowKey : std::numeric_limits<qint64>::max(), r.m_primaryKey);
        };
        return order(*this) < order(other);
    }
    bool isDeleted() const { return m_deleted; }
    StoreContext* context() const { return m_context; }

protected:
    Record() = default;
    // Assigns and reports a change; returns false when the value was the same.
    template <typename T>
    bool assign(T& field, const T& value)
    {
        if (field == value)
            return false;
        field = value;
        didChange();
        return true;
    }

private:
    friend class StoreContext;
    friend class SqliteStore;
    friend class StoreWatcher;
    virtual void didChange() = 0;

    StoreContext* m_context = nullptr;
    qint64 m_primaryKey = 0;
    // The row's key in the file, given by the database at the record's first
    // save (0 until then), so a second process writing the same file can
    // never be handed the same key.
    qint64 m_rowKey = 0;
    bool m_deleted = false;
};

class Assistant final : public Record, public std::enable_shared_from_this<Assistant> {
public:
    const std::optional<QUuid>& id() const { return m_id; }
    const std::optional<QString>& name() const { return m_name; }
    const std::optional<QString>& personality() const { return m_personality; }
    const std::optional<QString>& intro() const { return m_intro; }
    const std::optional<QUrl>& profilePictureUrl() const { return m_profilePictureUrl; }
    qint16 version() const { return m_version; }
    const std::optional<QDateTime>& deletedAt() const { return m_deletedAt; }
    std::vector<ConversationPtr> conversations() const;

    void setId(const std::optional<QUuid>& v) { assign(m_id, v); }
    void setName(const std::optional<QString>& v) { assign(m_name, v); }
    void setPersonality(const std::optional<QString>& v) { assign(m_personality, v); }
    void setIntro(const std::optional<QString>& v) { assign(m_intro, v); }
    void setProfilePictureUrl(const std::optional<QUrl>& v) { assign(m_profilePictureUrl, v); }
    void setVersion(qint16 v) { assign(m_version, v); }
    void setDeletedAt(const std::optional<QDateTime>& v) { assign(m_deletedAt, v); }

private:
    friend class StoreContext;
    friend class SqliteStore;
    friend class StoreWatcher;
    void didChange() override;

    std::optional<QUuid> m_id;
    std::optional<QString> m_name;
    std::optional<QString> m_personality;
    std::optional<QString> m_intro;
    std::optional<QUrl> m_profilePictureUrl;
    qint16 m_version = 0;
    std::optional<QDateTime> m_deletedAt;
};

class Conversation final : public Record, public std::enable_shared_from_this<Conversation> {
public:
    const std::optional<QUuid>& id() const { return m_id; }
    const std::optional<QDateTime>& createdAt() const { return m_createdAt; }
    const std::optional<QDateTime>& updatedAt() const { return m_updatedAt; }
    // Given at the first prompt or by the user; none before.
    const std::optional<QString>& title() const { return m_title; }
    AssistantPtr assistant() const;
    qint64 assistantKey() const { return m_assistantKey; } // the assistant's primaryKey(), 0 for none
    // Unordered; the message list model and the chat history put them in order.
    // Read from the database the first time they are needed.
    const std::vector<MessagePtr>& messages() const;

    void setId(const std::optional<QUuid>& v) { assign(m_id, v); }
    void setCreatedAt(const std::optional<QDateTime>& v) { assign(m_createdAt, v); }
    void setUpdatedAt(const std::optional<QDateTime>& v) { assign(m_updatedAt, v); }
    void setTitle(const std::optional<QString>& v) { assign(m_title, v); }
    void setAssistant(const AssistantPtr& assistant);

private:
    friend class StoreContext;
    friend class SqliteStore;
    friend class StoreWatcher;
    friend class Assistant;
    void didChange() override;

    std::optional<QUuid> m_id;
    std::optional<QDateTime> m_createdAt;
    std::optional<QDateTime> m_updatedAt;
    std::optional<QString> m_title;
    qint64 m_assistantKey = 0; // the assistant's primaryKey(), not its row
    mutable bool m_messagesLoaded = false;
    mutable std::vector<MessagePtr> m_messages;
};

class Message final : public Record, public std::enable_shared_from_this<Message> {
public:
    const std::optional<QUuid>& id() const { return m_id; }
    const std::optional<QString>& role() const { return m_role; }
    const std::optional<QString>& content() const { return m_content; }
    bool done() const { return m_done; }
    const std::optional<QString>& functionName() const { return m_functionName; }
    const std::optional<QString>& functionArguments() const { return m_functionArguments; }
    const std::optional<QString>& functionResult() const { return m_functionResult; }
    const std::optional<QDateTime>& updatedAt() const { return m_updatedAt; }
    // A reasoning model's thinking, kept apart from the answer in content().
    const std::optional<QString>& reasoning() const { return m_reasoning; }
    // What the reply cost, as far as the server told: tokens of the request,
    // of the reply (thinking included) and of the thinking alone.
    const std::optional<qint64>& promptTokens() const { return m_promptTokens; }
    const std::optional<qint64>& completionTokens() const { return m_completionTokens; }
    const std::optional<qint64>& reasoningTokens() const { return m_reasoningTokens; }
    // Milliseconds from the reply's first piece to its first piece of answer,
    // and to its last piece.
    const std::optional<qint64>& thinkingMs() const { return m_thinkingMs; }
    const std::optional<qint64>& replyMs() const { return m_replyMs; }
    ConversationPtr conversation() const;

    void setId(const std::optional<QUuid>& v) { assign(m_id, v); }
    void setRole(const std::optional<QString>& v) { assign(m_role, v); }
    void setContent(const std::optional<QString>& v) { replace(Content, m_content, v); }
    void setDone(bool v) { assign(m_done, v); }
    void setFunctionName(const std::optional<QString>& v) { replace(FunctionName, m_functionName, v); }
    void setFunctionArguments(const std::optional<QString>& v) { replace(FunctionArguments, m_functionArguments, v); }
    void setFunctionResult(const std::optional<QString>& v) { assign(m_functionResult, v); }
    void setUpdatedAt(const std::optional<QDateTime>& v) { assign(m_updatedAt, v); }
    void setReasoning(const std::optional<QString>& v) { replace(Reasoning, m_reasoning, v); }
    void setPromptTokens(const std::optional<qint64>& v) { assign(m_promptTokens, v); }
    void setCompletionTokens(const std::optional<qint64>& v) { assign(m_completionTokens, v); }
    void setReasoningTokens(const std::optional<qint64>& v) { assign(m_reasoningTokens, v); }
    void setThinkingMs(const std::optional<qint64>& v) { assign(m_thinkingMs, v); }
    void setReplyMs(const std::optional<qint64>& v) { assign(m_replyMs, v); }

    // Streaming appends: a null text grows from empty.
    void appendContent(const QString& piece);
    void appendReasoning(const QString& piece);
    void appendFunctionName(const QString& piece);
    void appendFunctionArguments(const QString& piece);

private:
    friend class StoreContext;
    friend class SqliteStore;
    friend class StoreWatcher;
    void didChange() override;

    // The texts a streamed reply grows, in the order the file numbers them.
    enum GrowingText { Content, Reasoning, FunctionName, FunctionArguments, GrowingTextCount };
    // What the file holds of the growing texts: how much of each (-1 when
    // its copy there must be written whole), and the last piece row taken
    // in. A save writes only what was appended since.
    struct StoredTexts {
        std::array<qsizetype, GrowingTextCount> sizes{-1, -1, -1, -1};
        qint64 lastPiece = 0;
    };
    std::array<const std::optional<QString>*, GrowingTextCount> growingTexts() const
    {
        return {&m_content, &m_reasoning, &m_functionName, &m_functionArguments};
    }
    std::optional<QString>* growingText(int which);
    StoredTexts storedNow(qint64 lastPiece) const;
    void replace(GrowingText which, std::optional<QString>& field, const std::optional<QString>& value)
    {
        if (assign(field, value))
            m_stored.sizes[which] = -1;
    }
    void append(GrowingText which, const QString& piece);

    std::optional<QUuid> m_id;
    std::optional<QString> m_role;
    std::optional<QString> m_content;
    bool m_done = false;
    std::optional<QString> m_functionName;
    std::optional<QString> m_functionArguments;
    std::optional<QString> m_functionResult;
    std::optional<QDateTime> m_updatedAt;
    std::optional<QString> m_reasoning;
    std::optional<qint64> m_promptTokens;
    std::optional<qint64> m_completionTokens;
    std::optional<qint64> m_reasoningTokens;
    std::optional<qint64> m_thinkingMs;
    std::optional<qint64> m_replyMs;
    qint64 m_conversationKey = 0; // the conversation's primaryKey(), not its row
    StoredTexts m_stored;
};
