#pragma once

#include <QObject>
#include <QUuid>

#include <optional>

// The shared selection of the main windows: the id of the conversation shown,
// or none (the new-conversation form).
class UiState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<QUuid>& selectedConversation() const { return m_selectedConversation; }
    void setSelectedConversation(const std::optional<QUuid>& id)
    {
        if (id == m_selectedConversation)
            return;
        m_selectedConversation = id;
        Q_EMIT selectedConversationChanged(id);
    }

Q_SIGNALS:
    void selectedConversationChanged(const std::optional<QUuid>& id);

private:
    std::optional<QUuid> m_selectedConversation;
};
