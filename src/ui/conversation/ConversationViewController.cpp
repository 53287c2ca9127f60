#include "ui/conversation/ConversationViewController.h"

#include "chat/ConversationController.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "ui/common/UiState.h"
#include "ui/conversation/MessageRowsModel.h"

#include <utility>

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
    cancelEdit();
    m_conversation = conversation;
    m_controller = conversation ? &m_controllers.controllerFor(conversation) : nullptr;
    m_rows = nullptr;
    if (m_controller) {
        m_rows = new MessageRowsModel(m_store, conversation, m_controller, this);
        connect(m_controller, &ConversationController::runningTurnsChanged, this,
                &ConversationViewController::streamingChanged);
        // Whether the newest reply may be asked for again follows turns, runs and rows.
        connect(m_controller, &ConversationController::runningTurnsChanged, this,
                &ConversationViewController::updateActions);
        for (auto signal : {&ConversationController::functionStarted, &ConversationController::functionFinished}) {
            connect(m_controller, signal, this, &ConversationViewController::updateActions);
            connect(m_controller, signal, this, &ConversationViewController::functionRunningChanged);
        }
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(m_rows, signal, this, &ConversationViewController::updateActions);
        connect(m_rows, &QAbstractItemModel::dataChanged, this, &ConversationViewController::updateActions);
        // An edited message removed elsewhere ends the edit.
        connect(m_rows, &QAbstractItemModel::rowsRemoved, this, [this] {
            if (m_editing && m_editing->isDeleted())
                cancelEdit();
        });
    }
    Q_EMIT conversationChanged();
    Q_EMIT streamingChanged();
    updateActions();
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
    if (m_editing) {
        const MessagePtr edited = std::exchange(m_editing, nullptr);
        Q_EMIT editingChanged();
        if (!m_controller->resubmit(edited, prompt))
            return;
    } else {
        m_controller->submit(prompt);
    }
    Q_EMIT promptSubmitted();
}

// Every streamed piece changes a row, and every message's button reads these:
// they are worked out once a change and announced only when they differ. While
// a reply streams nothing may be regenerated, so no piece sorts the messages.
void ConversationViewController::updateActions()
{
    const bool can = m_controller && m_controller->canRegenerate();
    QString label = m_regenerateLabel;
    if (can) {
        const std::vector<MessagePtr> messages = orderedMessages(*m_conversation);
        label = !messages.empty() && messages.back()->role() == QLatin1String("app") ? tr("Retry") : tr("Regenerate");
    }
    if (can == m_canRegenerate && label == m_regenerateLabel)
        return;
    m_canRegenerate = can;
    m_regenerateLabel = label;
    Q_EMIT actionsChanged();
}

void ConversationViewController::regenerate()
{
    if (m_controller && m_controller->regenerate())
        Q_EMIT promptSubmitted();
}

int ConversationViewController::editingRow() const
{
    if (!m_editing || !m_rows)
        return -1;
    return m_rows->rowOf(m_editing.get());
}

QString ConversationViewController::beginEdit(int row)
{
    if (!m_controller || !m_rows || streaming())
        return QString();
    const MessagePtr message = m_rows->recordAt(row);
    if (!message || message->role() != QLatin1String("user"))
        return QString();
    m_editing = message;
    Q_EMIT editingChanged();
    const QString text = message->content().value_or(QString());
    Q_EMIT editStarted(text);
    return text;
}

QString ConversationViewController::beginEditNewest()
{
    for (int row = m_rows ? m_rows->rowCount() - 1 : -1; row >= 0; --row) {
        if (m_rows->index(row, 0).data(MessageRowsModel::IsOwnRole).toBool())
            return beginEdit(row);
    }
    return QString();
}

void ConversationViewController::cancelEdit()
{
    if (m_editing) {
        m_editing = nullptr;
        Q_EMIT editingChanged();
    }
}

void ConversationViewController::reveal(const MessagePtr& message, const QString& searchText)
{
    if (!message || !m_rows || message->conversation() != m_conversation)
        return;
    if (const int row = m_rows->rowOf(message.get()); row >= 0)
        Q_EMIT revealRequested(row, searchText);
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
    const MessagePtr message = m_rows->recordAt(row);
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
