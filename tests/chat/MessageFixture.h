#pragma once

#include "store/StoreContext.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Stored messages of one conversation in a store kept in memory.
class MessageFixture {
public:
    MessageFixture()
        : m_context(std::make_unique<StoreContext>(SqliteStore::openInMemory()))
        , m_conversation(m_context->insertConversation())
    {
    }

    MessagePtr add(const QString& role, const std::optional<QString>& content,
                   const std::optional<QString>& functionName = std::nullopt,
                   const std::optional<QString>& functionArguments = std::nullopt,
                   const std::optional<QString>& functionResult = std::nullopt)
    {
        MessagePtr message = m_context->insertMessage(m_conversation);
        message->setRole(role);
        message->setContent(content);
        message->setFunctionName(functionName);
        message->setFunctionArguments(functionArguments);
        message->setFunctionResult(functionResult);
        m_messages.push_back(message);
        return message;
    }

    const std::vector<MessagePtr>& messages() const { return m_messages; }

private:
    std::unique_ptr<StoreContext> m_context;
    ConversationPtr m_conversation;
    std::vector<MessagePtr> m_messages;
};
