#include "store/StoreContext.h"

#include "store/StoreLog.h"
#include "store/StoreWatcher.h"

#include <algorithm>

namespace {

template <typename T>
std::vector<std::shared_ptr<T>> inCreationOrder(const QHash<qint64, std::shared_ptr<T>>& records)
{
    std::vector<std::shared_ptr<T>> list(records.cbegin(), records.cend());
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->createdBefore(*b); });
    return list;
}

// A read that failed shows nothing rather than stopping the app; the file is
// left as it is, and the watcher reads it again after the next change.
template <typename T>
std::vector<T> readOrNothing(Result<std::vector<T>> read)
{
    if (read)
        return std::move(read).value();
    qCWarning(lcStore) << read.errorText();
    return {};
}

} // namespace

StoreContext::StoreContext(std::unique_ptr<SqliteStore> database, QObject* parent)
    : StoreContext(std::move(database), QString(), parent)
{
}

StoreContext::StoreContext(std::unique_ptr<SqliteStore> database, const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_database(std::move(database))
    , m_databasePath(databasePath.isEmpty() ? m_database->path() : databasePath)
{
    // Looked at before reading, so a commit made meanwhile is merged later.
    if (m_database->isFile())
        m_watcher = std::make_unique<StoreWatcher>(*this);
    for (auto& a : readOrNothing(m_database->loadAssistants())) {
        adopt(*a, a->primaryKey());
        m_assistants.insert(a->primaryKey(), a);
    }
    for (auto& c : readOrNothing(m_database->loadConversations())) {
        adopt(*c, c->primaryKey());
        m_conversations.insert(c->primaryKey(), c);
    }
}

StoreContext::~StoreContext()
{
    m_watcher.reset();
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

std::vector<AssistantPtr> StoreContext::assistants() const { return inCreationOrder(m_assistants); }
std::vector<ConversationPtr> StoreContext::conversations() const { return inCreationOrder(m_conversations); }
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

ConversationPtr StoreContext::conversationWithRow(qint64 row) const
{
    // A record read from the file is known by its row's key; only those made
    // in this run are looked for one by one.
    if (const ConversationPtr c = m_conversations.value(row); c && c->m_rowKey == row)
        return c;
    for (const auto& c : m_conversations) {
        if (row && c->m_rowKey == row)
            return c;
    }
    return nullptr;
}

MessagePtr StoreContext::messageWithRow(const Conversation& conversation, qint64 row)
{
    for (const auto& m : messagesOf(conversation)) {
        if (row && m->m_rowKey == row)
            return m;
    }
    return nullptr;
}

const std::vector<MessagePtr>& StoreContext::messagesOf(const Conversation& conversation)
{
    if (!conversation.m_messagesLoaded) {
        conversation.m_messagesLoaded = true;
        if (!conversation.isDeleted() && conversation.m_rowKey) {
            auto loaded = readOrNothing(m_database->loadMessages(conversation.m_rowKey));
            for (auto& m : loaded) {
                adopt(*m, m->primaryKey());
                m->m_conversationKey = conversation.primaryKey();
            }
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
    adopt(*a, nextKey());
    m_assistants.insert(a->primaryKey(), a);
    m_pendingAssistants.inserted.insert(a->primaryKey(), a);
    Q_EMIT assistantInserted(a);
    return a;
}

ConversationPtr StoreContext::insertConversation()
{
    auto c = std::make_shared<Conversation>();
    adopt(*c, nextKey());
    c->m_messagesLoaded = true; // nothing stored yet
    m_conversations.insert(c->primaryKey(), c);
    m_pendingConversations.inserted.insert(c->primaryKey(), c);
    Q_EMIT conversationInserted(c);
    return c;
}

MessagePtr StoreContext::insertMessage(const ConversationPtr& conversation)
{
    auto m = std::make_shared<Message>();
    adopt(*m, nextKey());
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
    if (conversation->m_rowKey)
        m_removedConversations.push_back(conversation->m_rowKey);
    detach(conversation);
}

void StoreContext::deleteMessage(const MessagePtr& message)
{
    if (!message || message->isDeleted() || message->context() != this)
        return;
    const qint64 key = message->primaryKey();
    m_pendingMessages.inserted.remove(key);
    m_pendingMessages.updated.remove(key);
    if (message->m_rowKey)
        m_removedMessages.push_back(message->m_rowKey);
    if (const ConversationPtr conversation = m_conversations.value(message->m_conversationKey))
        std::erase(conversation->m_messages, message);
    message->m_deleted = true;
    Q_EMIT messageRemoved(message);
}

// Takes the conversation and the messages in memory out of the context; the
// database removes the rest.
void StoreContext::detach(const ConversationPtr& conversation)
{
    const qint64 key = conversation->primaryKey();
    m_pendingConversations.inserted.remove(key);
    m_pendingConversations.updated.remove(key);
    m_conversations.remove(key);
    conversation->m_deleted = true;
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

void StoreContext::detach(const AssistantPtr& assistant)
{
    m_pendingAssistants.inserted.remove(assistant->primaryKey());
    m_pendingAssistants.updated.remove(assistant->primaryKey());
    m_assistants.remove(assistant->primaryKey());
    assistant->m_deleted = true;
    Q_EMIT assistantRemoved(assistant);
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
        || !m_removedConversations.empty() || !m_removedMessages.empty();
}

qint64 StoreContext::assistantRow(qint64 key) const
{
    const AssistantPtr a = key ? m_assistants.value(key) : nullptr;
    return a ? a->m_rowKey : 0;
}

qint64 StoreContext::conversationRow(qint64 key) const
{
    const ConversationPtr c = key ? m_conversations.value(key) : nullptr;
    return c ? c->m_rowKey : 0;
}

// Inserts come first and in creation order, parents before children, so row
// keys keep creation order and every relationship finds its row.
bool StoreContext::writePending(std::vector<Record*>& givenRows, std::vector<WrittenTexts>& writtenTexts)
{
    auto insertAll = [&](const auto& records, const auto& write) {
        for (const auto& record : inCreationOrder(records)) {
            qint64 row = 0;
            if (!write(*record, &row))
                return false;
            record->m_rowKey = row;
            givenRows.push_back(record.get());
        }
        return true;
    };
    auto updateAll = [](const auto& records, const auto& write) {
        for (const auto& record : inCreationOrder(records)) {
            if (!write(*record, nullptr))
                return false;
        }
        return true;
    };
    SqliteStore& db = *m_database;
    const auto writeAssistant = [&db](const Assistant& a, qint64* row) { return db.write(a, row); };
    const auto writeConversation = [this, &db](const Conversation& c, qint64* row) {
        return db.write(c, assistantRow(c.m_assistantKey), row);
    };
    const auto writeMessage = [this, &db, &writtenTexts](Message& m, qint64* row) {
        Message::StoredTexts stored;
        if (!db.write(m, conversationRow(m.m_conversationKey), row, &stored))
            return false;
        writtenTexts.emplace_back(&m, stored);
        return true;
    };
    if (!insertAll(m_pendingAssistants.inserted, writeAssistant)
        || !insertAll(m_pendingConversations.inserted, writeConversation)
        || !insertAll(m_pendingMessages.inserted, writeMessage)
        || !updateAll(m_pendingAssistants.updated, writeAssistant)
        || !updateAll(m_pendingConversations.updated, writeConversation)
        || !updateAll(m_pendingMessages.updated, writeMessage))
        return false;
    for (qint64 row : m_removedConversations) {
        if (!m_database->removeConversation(row))
            return false;
    }
    for (qint64 row : m_removedMessages) {
        if (!m_database->removeMessage(row))
            return false;
    }
    return true;
}

Result<void, StoreError> StoreContext::save()
{
    if (!hasChanges())
        return {};
    std::vector<Record*> givenRows;
    std::vector<WrittenTexts> writtenTexts;
    if (!m_database->begin() || !writePending(givenRows, writtenTexts) || !m_database->commit()) {
        const StoreError error = m_database->lastError();
        m_database->rollback();
        // Rolled back: those rows do not exist, and the next save asks again.
        for (Record* record : givenRows)
            record->m_rowKey = 0;
        return error;
    }
    for (auto& [message, stored] : writtenTexts)
        message->m_stored = stored;
    m_pendingAssistants = {};
    m_pendingConversations = {};
    m_pendingMessages = {};
    m_removedConversations.clear();
    m_removedMessages.clear();
    Q_EMIT saved();
    return {};
}

bool StoreContext::mergeExternalChanges() { return m_watcher && m_watcher->mergeIfChanged(); }

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

std::optional<QString>* Message::growingText(int which)
{
    return const_cast<std::optional<QString>*>(growingTexts().at(which));
}

Message::StoredTexts Message::storedNow(qint64 lastPiece) const
{
    StoredTexts stored;
    stored.lastPiece = lastPiece;
    const auto texts = growingTexts();
    for (int which = 0; which < GrowingTextCount; ++which)
        stored.sizes[which] = texts[which]->value_or(QString()).size();
    return stored;
}

void Message::append(GrowingText which, const QString& piece)
{
    std::optional<QString>& field = *growingText(which);
    if (!field) {
        // A null text in the file has nothing to append to.
        field = QString();
        m_stored.sizes[which] = -1;
    }
    field->append(piece);
    didChange();
}

void Message::appendContent(const QString& piece) { append(Content, piece); }
void Message::appendReasoning(const QString& piece) { append(Reasoning, piece); }
void Message::appendFunctionName(const QString& piece) { append(FunctionName, piece); }
void Message::appendFunctionArguments(const QString& piece) { append(FunctionArguments, piece); }
