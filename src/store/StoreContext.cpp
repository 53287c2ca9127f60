#include "store/StoreContext.h"

#include <algorithm>

namespace {

template <typename T>
std::vector<std::shared_ptr<T>> inKeyOrder(const QHash<qint64, std::shared_ptr<T>>& records)
{
    std::vector<std::shared_ptr<T>> list(records.cbegin(), records.cend());
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->primaryKey() < b->primaryKey(); });
    return list;
}

} // namespace

StoreContext::StoreContext(std::unique_ptr<SqliteStore> database, QObject* parent)
    : QObject(parent)
    , m_database(std::move(database))
{
    for (auto& a : m_database->loadAssistants()) {
        adopt(*a, a->primaryKey());
        m_assistants.insert(a->primaryKey(), a);
    }
    for (auto& c : m_database->loadConversations()) {
        adopt(*c, c->primaryKey());
        m_conversations.insert(c->primaryKey(), c);
    }
    // Keys are handed out at insertion, so they also record creation order.
    m_nextAssistantKey = m_database->largestKey("assistant") + 1;
    m_nextConversationKey = m_database->largestKey("conversation") + 1;
    m_nextMessageKey = m_database->largestKey("message") + 1;
}

StoreContext::~StoreContext()
{
    // Records that outlive the context keep working, detached.
    auto detach = [](Record& r) { r.m_context = nullptr; };
    for (auto& c : std::as_const(m_conversations)) {
        for (auto& m : c->m_messages)
            detach(*m);
        detach(*c);
    }
    for (auto& a : std::as_const(m_assistants))
        detach(*a);
}

void StoreContext::adopt(Record& record, qint64 key)
{
    record.m_context = this;
    record.m_primaryKey = key;
}

std::vector<AssistantPtr> StoreContext::assistants() const { return inKeyOrder(m_assistants); }
std::vector<ConversationPtr> StoreContext::conversations() const { return inKeyOrder(m_conversations); }
AssistantPtr StoreContext::assistant(qint64 key) const { return m_assistants.value(key); }
ConversationPtr StoreContext::conversation(qint64 key) const { return m_conversations.value(key); }

ConversationPtr StoreContext::conversationWithId(const QUuid& id) const
{
    for (const auto& c : m_conversations) {
        if (c->id() == id)
            return c;
    }
    return nullptr;
}

const std::vector<MessagePtr>& StoreContext::messagesOf(const Conversation& conversation)
{
    if (!conversation.m_messagesLoaded) {
        conversation.m_messagesLoaded = true;
        if (!conversation.isDeleted()) {
            auto loaded = m_database->loadMessages(conversation.primaryKey());
            for (auto& m : loaded)
                adopt(*m, m->primaryKey());
            // Messages inserted before the first read are already in the list.
            loaded.insert(loaded.end(), conversation.m_messages.begin(), conversation.m_messages.end());
            conversation.m_messages = std::move(loaded);
        }
    }
    return conversation.m_messages;
}

AssistantPtr StoreContext::insertAssistant()
{
    auto a = std::make_shared<Assistant>();
    adopt(*a, m_nextAssistantKey++);
    m_assistants.insert(a->primaryKey(), a);
    m_pendingAssistants.inserted.insert(a->primaryKey(), a);
    Q_EMIT assistantInserted(a);
    return a;
}

ConversationPtr StoreContext::insertConversation()
{
    auto c = std::make_shared<Conversation>();
    adopt(*c, m_nextConversationKey++);
    c->m_messagesLoaded = true; // nothing stored yet
    m_conversations.insert(c->primaryKey(), c);
    m_pendingConversations.inserted.insert(c->primaryKey(), c);
    Q_EMIT conversationInserted(c);
    return c;
}

MessagePtr StoreContext::insertMessage(const ConversationPtr& conversation)
{
    auto m = std::make_shared<Message>();
    adopt(*m, m_nextMessageKey++);
    if (conversation && !conversation->isDeleted()) {
        m->m_conversationKey = conversation->primaryKey();
        messagesOf(*conversation);
        conversation->m_messages.push_back(m);
    }
    m_pendingMessages.inserted.insert(m->primaryKey(), m);
    Q_EMIT messageInserted(m);
    return m;
}

void StoreContext::deleteConversation(const ConversationPtr& conversation)
{
    if (!conversation || conversation->isDeleted() || !m_conversations.contains(conversation->primaryKey()))
        return;
    const qint64 key = conversation->primaryKey();
    const bool stored = !m_pendingConversations.inserted.remove(key);
    m_pendingConversations.updated.remove(key);
    if (stored)
        m_removedConversations.push_back(key);
    m_conversations.remove(key);
    conversation->m_deleted = true;
    // Only messages already in memory need detaching; the database removes the rest.
    const auto messages = std::move(conversation->m_messages);
    conversation->m_messages.clear();
    for (const auto& m : messages) {
        m_pendingMessages.inserted.remove(m->primaryKey());
        m_pendingMessages.updated.remove(m->primaryKey());
        m->m_deleted = true;
        Q_EMIT messageRemoved(m);
    }
    Q_EMIT conversationRemoved(conversation);
}

void StoreContext::recordChanged(Assistant& record)
{
    auto a = record.shared_from_this();
    m_pendingAssistants.note(a);
    Q_EMIT assistantChanged(a);
}

void StoreContext::recordChanged(Conversation& record)
{
    auto c = record.shared_from_this();
    m_pendingConversations.note(c);
    Q_EMIT conversationChanged(c);
}

void StoreContext::recordChanged(Message& record)
{
    auto m = record.shared_from_this();
    m_pendingMessages.note(m);
    Q_EMIT messageChanged(m);
}

bool StoreContext::hasChanges() const
{
    return !m_pendingAssistants.empty() || !m_pendingConversations.empty() || !m_pendingMessages.empty()
        || !m_removedConversations.empty();
}

bool StoreContext::writePending()
{
    auto writeAll = [this](const auto& records, bool insert) {
        for (const auto& record : inKeyOrder(records)) {
            if (!m_database->write(*record, insert))
                return false;
        }
        return true;
    };
    if (!writeAll(m_pendingAssistants.inserted, true) || !writeAll(m_pendingConversations.inserted, true)
        || !writeAll(m_pendingMessages.inserted, true) || !writeAll(m_pendingAssistants.updated, false)
        || !writeAll(m_pendingConversations.updated, false) || !writeAll(m_pendingMessages.updated, false))
        return false;
    for (qint64 key : m_removedConversations) {
        if (!m_database->removeConversation(key))
            return false;
    }
    return true;
}

std::optional<StoreError> StoreContext::save()
{
    if (!hasChanges())
        return std::nullopt;
    if (!m_database->begin() || !writePending() || !m_database->commit()) {
        const StoreError error = m_database->lastError();
        m_database->rollback();
        return error;
    }
    m_pendingAssistants = {};
    m_pendingConversations = {};
    m_pendingMessages = {};
    m_removedConversations.clear();
    Q_EMIT saved();
    return std::nullopt;
}

// Record side: relationships resolve through the context.

void Assistant::didChange()
{
    if (context() && !isDeleted())
        context()->recordChanged(*this);
}

std::vector<ConversationPtr> Assistant::conversations() const
{
    std::vector<ConversationPtr> list;
    if (!context())
        return list;
    for (auto& c : context()->conversations()) {
        if (c->m_assistantKey == primaryKey())
            list.push_back(c);
    }
    return list;
}

void Conversation::didChange()
{
    if (context() && !isDeleted())
        context()->recordChanged(*this);
}

AssistantPtr Conversation::assistant() const
{
    return context() && m_assistantKey ? context()->assistant(m_assistantKey) : nullptr;
}

const std::vector<MessagePtr>& Conversation::messages() const
{
    return context() ? context()->messagesOf(*this) : m_messages;
}

void Conversation::setAssistant(const AssistantPtr& assistant)
{
    assign(m_assistantKey, assistant ? assistant->primaryKey() : qint64(0));
}

void Message::didChange()
{
    if (context() && !isDeleted())
        context()->recordChanged(*this);
}

ConversationPtr Message::conversation() const
{
    return context() && m_conversationKey ? context()->conversation(m_conversationKey) : nullptr;
}

namespace {
void appendTo(std::optional<QString>& field, const QString& piece)
{
    if (!field)
        field = QString();
    field->append(piece);
}
} // namespace

void Message::appendContent(const QString& piece)
{
    appendTo(m_content, piece);
    didChange();
}

void Message::appendFunctionName(const QString& piece)
{
    appendTo(m_functionName, piece);
    didChange();
}

void Message::appendFunctionArguments(const QString& piece)
{
    appendTo(m_functionArguments, piece);
    didChange();
}
