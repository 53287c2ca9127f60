#include "ui/conversation/MessageRowsModel.h"

#include "chat/ConversationController.h"
#include "core/UntrustedText.h"
#include "extensions/ExtensionRegistry.h"
#include "store/ListModels.h"

#include <QLocale>
#include <QSet>

#include <cmath>

namespace {
bool isSet(const std::optional<QString>& text) { return text && !text->isEmpty(); }

// Messages whose thinking the user unfolded, in any window, while the app
// runs; by id, which no other store's message shares.
QSet<QUuid>& unfoldedThinking()
{
    static QSet<QUuid> ids;
    return ids;
}

QString thinkingLabel(const Message& m, bool answerStarted, bool streaming)
{
    if (!answerStarted)
        return streaming ? QStringLiteral("Thinking…") : QStringLiteral("Stopped while thinking");
    const std::optional<qint64> ms = m.thinkingMs() ? m.thinkingMs() : m.replyMs();
    if (!ms)
        return QStringLiteral("Thought");
    const qint64 seconds = std::max<qint64>(1, std::llround(double(*ms) / 1000.0));
    return seconds == 1 ? QStringLiteral("Thought for 1 second")
                        : QStringLiteral("Thought for %1 seconds").arg(QLocale(QLocale::English).toString(seconds));
}

// The reply's tokens, and its speed when it took measurable time.
QString usageText(const Message& m)
{
    if (!m.completionTokens())
        return QString();
    const QLocale english(QLocale::English);
    const qint64 tokens = *m.completionTokens();
    QString text = QStringLiteral("%1 tokens").arg(english.toString(tokens));
    if (m.replyMs() && *m.replyMs() > 0) {
        const qint64 rate = std::llround(double(tokens) * 1000.0 / double(*m.replyMs()));
        text += QStringLiteral(" · %1 tokens/s").arg(english.toString(rate));
    }
    return text;
}
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
        // A reply that fails while thinking changes no field, yet its block stops.
        connect(controller, &ConversationController::turnFinished, this,
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
    const bool hasThinking = isSet(m->reasoning());
    const auto streaming = [&] { return m_controller && m_controller->isStreaming(*m); };
    switch (role) {
    case TextRole: return text;
    case IsOwnRole: return m->role() == QLatin1String("user");
    case ShowsPlaceholderRole: return text.isEmpty() && !hasFunction && !hasThinking;
    case BubblelessRole: return text.isEmpty() && hasFunction && !hasThinking;
    case HasFunctionRole: return hasFunction;
    case HasThinkingRole: return hasThinking;
    case ThinkingRole: return m->reasoning().value_or(QString());
    case ThinkingLabelRole:
        return hasThinking ? thinkingLabel(*m, !text.isEmpty() || hasFunction, streaming()) : QString();
    case ThinkingActiveRole: return hasThinking && text.isEmpty() && !hasFunction && streaming();
    case ThinkingUnfoldedRole: return m->id() && unfoldedThinking().contains(*m->id());
    case UsageTextRole: return usageText(*m);
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
        return text ? UntrustedText::escaped(*text, function->confirmationEscape)
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

bool MessageRowsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != ThinkingUnfoldedRole)
        return QSortFilterProxyModel::setData(index, value, role);
    const MessagePtr m = m_messages->recordAt(mapToSource(index).row());
    if (!m || !m->id())
        return false;
    if (value.toBool())
        unfoldedThinking().insert(*m->id());
    else
        unfoldedThinking().remove(*m->id());
    Q_EMIT dataChanged(index, index, {ThinkingUnfoldedRole});
    return true;
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
        {HasThinkingRole, "hasThinking"},
        {ThinkingRole, "thinking"},
        {ThinkingLabelRole, "thinkingLabel"},
        {ThinkingActiveRole, "thinkingActive"},
        {ThinkingUnfoldedRole, "thinkingUnfolded"},
        {UsageTextRole, "usageText"},
    };
}
