#include "ui/ConversationViewController.h"

#include "chat/ConversationController.h"
#include "core/UiState.h"
#include "store/ListModels.h"
#include "ui/MessageRowsModel.h"

ConversationViewController::ConversationViewController(StoreContext& store, ConversationControllerRegistry& controllers,
                                                       UiState& uiState, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_controllers(controllers)
    , m_uiState(uiState)
{
}

ConversationViewController::~ConversationViewController() = default;

void ConversationViewController::show(const ConversationPtr& conversation)
{
    if (conversation == m_conversation)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    MessageRowsModel* old = m_rows;
    m_conversation = conversation;
    m_controller = conversation ? &m_controllers.controllerFor(conversation) : nullptr;
    m_rows = nullptr;
    if (m_controller) {
        auto* messages = new MessageListModel(m_store, conversation, this);
        m_rows = new MessageRowsModel(messages, m_controller, this);
        messages->setParent(m_rows);
        connect(m_controller, &ConversationController::runningTurnsChanged, this,
                &ConversationViewController::streamingChanged);
        for (auto signal : {&ConversationController::functionStarted, &ConversationController::functionFinished})
            connect(m_controller, signal, this, &ConversationViewController::functionRunningChanged);
    }
    Q_EMIT conversationChanged();
    Q_EMIT streamingChanged();
    Q_EMIT functionRunningChanged();
    // The views let go of the old rows in the signal above.
    if (old)
        old->deleteLater();
    if (m_controller)
        m_controller->runPendingFunctions();
}

QAbstractItemModel* ConversationViewController::messages() const { return m_rows; }

QString ConversationViewController::assistantNameOf(const ConversationPtr& conversation)
{
    const AssistantPtr assistant = conversation ? conversation->assistant() : nullptr;
    return assistant && assistant->name() && !assistant->name()->isEmpty() ? *assistant->name() : tr("Unknown");
}

QString ConversationViewController::assistantName() const { return assistantNameOf(m_conversation); }

QString ConversationViewController::draft() const { return m_controller ? m_controller->draft() : QString(); }

void ConversationViewController::setDraft(const QString& text)
{
    if (m_controller)
        m_controller->setDraft(text);
}

bool ConversationViewController::streaming() const { return m_controller && m_controller->runningTurns() > 0; }

bool ConversationViewController::functionRunning() const
{
    return m_controller && m_controller->isAnyFunctionRunning();
}

void ConversationViewController::submit(const QString& prompt)
{
    if (!m_controller)
        return;
    m_controller->setDraft(QString());
    m_controller->submit(prompt);
    Q_EMIT promptSubmitted();
}

void ConversationViewController::stop()
{
    if (!m_controller)
        return;
    m_controller->stopStreaming();
    m_controller->stopFunctions();
}

void ConversationViewController::runFunction(int row)
{
    if (!m_controller || !m_rows)
        return;
    const QModelIndex source = m_rows->mapToSource(m_rows->index(row, 0));
    const MessagePtr message = m_rows->messages()->recordAt(source.row());
    // Only a block that offers "Run function" may start one.
    if (message && m_controller->awaitsConfirmation(*message))
        m_controller->runFunction(message);
}

void ConversationViewController::deleteConversation()
{
    if (!m_controller)
        return;
    UiState& uiState = m_uiState;
    const std::optional<QUuid> id = m_conversation->id();
    m_controller->deleteConversation([&uiState, id] {
        if (uiState.selectedConversation() == id)
            uiState.setSelectedConversation(std::nullopt);
    });
}
