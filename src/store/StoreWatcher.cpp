#include "store/StoreWatcher.h"

#include "store/StoreContext.h"

#include <QSet>

#include <utility>

namespace {

template <typename T>
bool take(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

StoreWatcher::StoreWatcher(StoreContext& context)
    : m_context(context)
    , m_seenVersion(context.m_database->dataVersion())
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { mergeIfChanged(); });
    m_timer.start();
}

bool StoreWatcher::mergeIfChanged()
{
    SqliteStore& db = *m_context.m_database;
    const qint64 version = db.dataVersion();
    if (version == m_seenVersion || !db.beginRead())
        return false;
    // One snapshot for all tables, so a message never arrives before its
    // conversation. A failed read merges nothing (an empty result would look
    // like every row was removed) and is tried again at the next look.
    auto assistants = db.loadAssistants();
    auto conversations = db.loadConversations();
    bool read = assistants && conversations;
    std::vector<std::pair<ConversationPtr, std::vector<MessagePtr>>> messages;
    for (const auto& c : std::as_const(m_context.m_conversations)) {
        if (!read || !c->m_messagesLoaded || !c->m_rowKey)
            continue;
        auto rows = db.loadMessages(c->m_rowKey);
        read = rows.ok();
        if (read)
            messages.emplace_back(c, std::move(rows).value());
    }
    db.commit();
    if (!read)
        return false;
    m_seenVersion = version;
    bool merged = mergeAssistants(std::move(assistants).value());
    merged = mergeConversations(std::move(conversations).value()) || merged;
    for (auto& [conversation, rows] : messages) {
        if (!conversation->isDeleted())
            merged = mergeMessages(conversation, rows) || merged;
    }
    return merged;
}

// Rows meet records by row key. A record whose row is gone, or whose row key
// now holds another record (a removed row's key given again), goes; a record
// with unsaved changes here keeps them and is left as it is.
template <typename T, typename Holds, typename Insert, typename Remove, typename Changed>
bool StoreWatcher::mergeRows(const std::vector<std::shared_ptr<T>>& records,
                             const std::vector<std::shared_ptr<T>>& rows, const Holds& holds, const Insert& insert,
                             const Remove& remove, const Changed& changed)
{
    QHash<qint64, std::shared_ptr<T>> byRow;
    for (const auto& record : records) {
        if (record->m_rowKey)
            byRow.insert(record->m_rowKey, record);
    }
    bool merged = false;
    for (const auto& row : rows) {
        std::shared_ptr<T> record = byRow.take(row->m_rowKey);
        if (record && holds(*record))
            continue;
        if (record && record->m_id != row->m_id) {
            remove(record);
            record = nullptr;
        }
        if (!record) {
            insert(row);
            merged = true;
        } else if (takeFields(*record, *row)) {
            changed(record);
            merged = true;
        }
    }
    for (const auto& gone : std::as_const(byRow)) {
        if (!holds(*gone)) {
            remove(gone);
            merged = true;
        }
    }
    return merged;
}

bool StoreWatcher::takeFields(Assistant& a, const Assistant& row)
{
    bool changed = take(a.m_id, row.m_id);
    changed = take(a.m_name, row.m_name) || changed;
    changed = take(a.m_personality, row.m_personality) || changed;
    changed = take(a.m_intro, row.m_intro) || changed;
    changed = take(a.m_profilePictureUrl, row.m_profilePictureUrl) || changed;
    changed = take(a.m_version, row.m_version) || changed;
    return take(a.m_deletedAt, row.m_deletedAt) || changed;
}

bool StoreWatcher::takeFields(Conversation& c, const Conversation& row)
{
    bool changed = take(c.m_id, row.m_id);
    changed = take(c.m_createdAt, row.m_createdAt) || changed;
    changed = take(c.m_updatedAt, row.m_updatedAt) || changed;
    changed = take(c.m_title, row.m_title) || changed;
    return take(c.m_assistantKey, row.m_assistantKey) || changed;
}

bool StoreWatcher::takeFields(Message& m, const Message& row)
{
    m.m_stored = row.m_stored; // what the file holds now, whoever wrote it
    bool changed = take(m.m_id, row.m_id);
    changed = take(m.m_role, row.m_role) || changed;
    changed = take(m.m_content, row.m_content) || changed;
    changed = take(m.m_done, row.m_done) || changed;
    changed = take(m.m_functionName, row.m_functionName) || changed;
    changed = take(m.m_functionArguments, row.m_functionArguments) || changed;
    changed = take(m.m_functionResult, row.m_functionResult) || changed;
    changed = take(m.m_reasoning, row.m_reasoning) || changed;
    changed = take(m.m_promptTokens, row.m_promptTokens) || changed;
    changed = take(m.m_completionTokens, row.m_completionTokens) || changed;
    changed = take(m.m_reasoningTokens, row.m_reasoningTokens) || changed;
    changed = take(m.m_thinkingMs, row.m_thinkingMs) || changed;
    changed = take(m.m_replyMs, row.m_replyMs) || changed;
    return take(m.m_updatedAt, row.m_updatedAt) || changed;
}

bool StoreWatcher::mergeAssistants(const std::vector<AssistantPtr>& rows)
{
    StoreContext& context = m_context;
    return mergeRows(
        context.assistants(), rows, [&context](const Assistant& a) { return context.m_pendingAssistants.holds(a); },
        [&context](const AssistantPtr& a) {
            context.adopt(*a, context.m_assistants.contains(a->m_rowKey) ? context.nextKey() : a->m_rowKey);
            context.m_assistants.insert(a->primaryKey(), a);
            Q_EMIT context.assistantInserted(a);
        },
        [&context](const AssistantPtr& a) { context.detach(a); },
        [&context](const AssistantPtr& a) { Q_EMIT context.assistantChanged(a); });
}

bool StoreWatcher::mergeConversations(std::vector<ConversationPtr> rows)
{
    StoreContext& context = m_context;
    // Relationships come as row keys; records know their assistant by key.
    QHash<qint64, qint64> assistantKeys;
    for (const auto& a : std::as_const(context.m_assistants))
        assistantKeys.insert(a->m_rowKey, a->primaryKey());
    // Conversations deleted here but not yet saved stay deleted.
    const QSet<qint64> removedHere(context.m_removedConversations.begin(), context.m_removedConversations.end());
    std::erase_if(rows, [&removedHere](const ConversationPtr& c) { return removedHere.contains(c->m_rowKey); });
    for (const auto& row : rows)
        row->m_assistantKey = row->m_assistantKey ? assistantKeys.value(row->m_assistantKey) : 0;
    return mergeRows(
        context.conversations(), rows,
        [&context](const Conversation& c) { return context.m_pendingConversations.holds(c); },
        [&context](const ConversationPtr& c) {
            context.adopt(*c, context.m_conversations.contains(c->m_rowKey) ? context.nextKey() : c->m_rowKey);
            context.m_conversations.insert(c->primaryKey(), c);
            Q_EMIT context.conversationInserted(c);
        },
        [&context](const ConversationPtr& c) { context.detach(c); },
        [&context](const ConversationPtr& c) { Q_EMIT context.conversationChanged(c); });
}

bool StoreWatcher::mergeMessages(const ConversationPtr& conversation, const std::vector<MessagePtr>& rows)
{
    StoreContext& context = m_context;
    const std::vector<MessagePtr> records = conversation->m_messages;
    return mergeRows(
        records, rows, [&context](const Message& m) { return context.m_pendingMessages.holds(m); },
        [&context, &conversation](const MessagePtr& m) {
            context.adopt(*m, m->m_rowKey);
            m->m_conversationKey = conversation->primaryKey();
            conversation->m_messages.push_back(m);
            Q_EMIT context.messageInserted(m);
        },
        [this, &conversation](const MessagePtr& m) { removeMessage(*conversation, m); },
        [&context](const MessagePtr& m) { Q_EMIT context.messageChanged(m); });
}

// A message removed by another process (a reply stopped there before it began).
void StoreWatcher::removeMessage(Conversation& conversation, const MessagePtr& message)
{
    std::erase(conversation.m_messages, message);
    message->m_deleted = true;
    Q_EMIT m_context.messageRemoved(message);
}
