#include "ui/MessageRowsModel.h"

#include "chat/ConversationController.h"
#include "extensions/ExtensionRegistry.h"
#include "store/ListModels.h"

namespace {
bool isSet(const std::optional<QString>& text) { return text && !text->isEmpty(); }
} // namespace

MessageRowsModel::MessageRowsModel(MessageListModel* messages, ConversationController* controller, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_messages(messages)
    , m_controller(controller)
{
    setSourceModel(messages);
    setDynamicSortFilter(true);
    if (controller) {
        connect(controller, &ConversationController::functionStarted, this,
                [this](const MessagePtr& m) { functionStateChanged(m.get()); });
        connect(controller, &ConversationController::functionFinished, this,
                [this](const MessagePtr& m) { functionStateChanged(m.get()); });
    }
}

bool MessageRowsModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const MessagePtr message = m_messages->recordAt(sourceRow);
    return message && message->role() != QLatin1String("system");
}

void MessageRowsModel::functionStateChanged(const void* message)
{
    const int sourceRow = m_messages->rowOf(static_cast<const Message*>(message));
    const QModelIndex row = mapFromSource(m_messages->index(sourceRow, 0));
    if (row.isValid())
        Q_EMIT dataChanged(row, row);
}

QVariant MessageRowsModel::data(const QModelIndex& index, int role) const
{
    const MessagePtr m = m_messages->recordAt(mapToSource(index).row());
    if (!m)
        return {};
    const QString text = m->content().value_or(QString());
    const bool hasFunction = isSet(m->functionName());
    switch (role) {
    case TextRole: return text;
    case IsOwnRole: return m->role() == QLatin1String("user");
    case ShowsPlaceholderRole: return text.isEmpty() && !hasFunction;
    case BubblelessRole: return text.isEmpty() && hasFunction;
    case HasFunctionRole: return hasFunction;
    default: break;
    }
    if (!hasFunction) {
        const bool textRole = role == FunctionPreviewRole || role == FunctionTitleRole || role == FunctionResultTextRole;
        return textRole ? QVariant(QString()) : QVariant(false);
    }
    const std::optional<CustomFunction> function = findFunction(m->functionName());
    switch (role) {
    case FunctionPreviewRole: return functionPreview(*m);
    case FunctionTitleRole: return function ? function->name : QString();
    case FunctionIsAutomaticRole: return function && !function->requiresConfirmation;
    case FunctionRunningRole: return m_controller && m_controller->isFunctionRunning(*m);
    case AwaitsConfirmationRole: return m_controller && m_controller->awaitsConfirmation(*m);
    case FunctionResultTextRole:
        return m->functionResult() ? QStringLiteral("Result:\n```\n%1\n```").arg(*m->functionResult()) : QString();
    default: return QSortFilterProxyModel::data(index, role);
    }
}

QHash<int, QByteArray> MessageRowsModel::roleNames() const
{
    return {
        {TextRole, "text"},
        {IsOwnRole, "isOwn"},
        {ShowsPlaceholderRole, "showsPlaceholder"},
        {BubblelessRole, "bubbleless"},
        {HasFunctionRole, "hasFunction"},
        {FunctionPreviewRole, "functionPreview"},
        {FunctionTitleRole, "functionTitle"},
        {FunctionIsAutomaticRole, "functionIsAutomatic"},
        {FunctionRunningRole, "functionRunning"},
        {AwaitsConfirmationRole, "awaitsConfirmation"},
        {FunctionResultTextRole, "functionResultText"},
    };
}
