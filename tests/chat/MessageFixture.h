#pragma once

#include "store/StoreContext.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct StoredMessage {
    QString role;
    std::optional<QString> content;
    std::optional<QString> functionName = {};
    std::optional<QString> functionArguments = {};
    std::optional<QString> functionResult = {};
};

// Stored messages of one conversation in a store kept in memory.
class MessageFixture {
public:
    explicit MessageFixture(const QList<StoredMessage>& messages = {})
    {
        for (const StoredMessage& message : messages)
            add(message);
    }

    MessagePtr add(const StoredMessage& stored)
    {
        MessagePtr message = m_context->insertMessage(m_conversation);
        message->setRole(stored.role);
        message->setContent(stored.content);
        message->setFunctionName(stored.functionName);
        message->setFunctionArguments(stored.functionArguments);
        message->setFunctionResult(stored.functionResult);
        m_messages.push_back(message);
        return message;
    }

    const std::vector<MessagePtr>& messages() const { return m_messages; }

private:
    std::unique_ptr<StoreContext> m_context = std::make_unique<StoreContext>(SqliteStore::openInMemory());
    ConversationPtr m_conversation = m_context->insertConversation();
    std::vector<MessagePtr> m_messages;
};
