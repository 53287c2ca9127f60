#include "ui/MessageRowsModel.h"

#include "chat/ConversationController.h"
#include "core/UntrustedText.h"
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
        connect(controller, &ConversationController::confirmationNeeded, this,
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
    if (!hasFunction || !m_controller) {
        const bool textRole = role == FunctionPreviewRole || role == FunctionTitleRole || role == FunctionResultTextRole
            || role == FunctionCommandRole;
        return textRole ? QVariant(QString()) : QVariant(false);
    }
    // A function the request did not offer is unknown here too: no title, no preview, no run.
    const std::optional<CustomFunction> function = m_controller->offeredFunction(*m);
    const bool asks = function && function->requiresConfirmation;
    switch (role) {
    case FunctionPreviewRole: return function && !asks ? functionPreview(*m) : QString();
    case FunctionCommandRole: {
        if (!asks || !m->done())
            return QString();
        const std::optional<QString> text = m_controller->confirmationText(*m);
        return text ? UntrustedText::escaped(*text, UntrustedText::Escape::EverythingHidden)
                    : QStringLiteral("Unable to run script");
    }
    case FunctionTitleRole: return function ? function->name : QString();
    case FunctionIsAutomaticRole: return function && !asks && !m_controller->awaitsConfirmation(*m);
    case FunctionRunningRole: return m_controller->isFunctionRunning(*m);
    case AwaitsConfirmationRole: return m_controller->awaitsConfirmation(*m);
    case FunctionResultTextRole: {
        if (!m->functionResult())
            return QString();
        // Longer than any backquote run of the result, which cannot end it and pass for Markdown.
        const QString fence = UntrustedText::fenceFor(*m->functionResult());
        return QStringLiteral("Result:\n%1\n%2\n%1").arg(fence, *m->functionResult());
    }
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
        {FunctionCommandRole, "functionCommand"},
    };
}
