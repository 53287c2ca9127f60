#include "ui/conversation/MessageRowsModel.h"

#include "chat/ConversationController.h"
#include "core/UntrustedText.h"
#include "extensions/ExtensionRegistry.h"
#include "ui/markdown/MessageFormatting.h"

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

MessageRowsModel::MessageRowsModel(StoreContext& context, const ConversationPtr& conversation,
                                   ConversationController* controller, QObject* parent)
    : MessageListModel(context, conversation, SystemPrompt::Left, parent)
    , m_controller(controller)
{
    m_roles = roleNames().keys();
    std::sort(m_roles.begin(), m_roles.end());
    m_announce.setSingleShot(true);
    m_announce.setInterval(0);
    connect(&m_announce, &QTimer::timeout, this, &MessageRowsModel::announceChanges);
    // Values kept for rows that go would be compared with a new message at the same address.
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row)
            m_shown.remove(recordAt(row).get());
    });
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_shown.clear(); });
    if (controller) {
        const auto changed = [this](const MessagePtr& m) {
            if (const int row = rowOf(m.get()); row >= 0)
                recordUpdated(row);
        };
        connect(controller, &ConversationController::functionStarted, this, changed);
        connect(controller, &ConversationController::functionFinished, this, changed);
        connect(controller, &ConversationController::confirmationNeeded, this, changed);
        // A reply that fails while thinking changes no field, yet its block stops.
        connect(controller, &ConversationController::turnFinished, this, changed);
    }
}

void MessageRowsModel::recordUpdated(int row)
{
    const MessagePtr message = recordAt(row);
    if (!m_changed.contains(message))
        m_changed.append(message);
    m_announce.start();
}

QVariantList MessageRowsModel::valuesAt(int row) const
{
    QVariantList values;
    const QModelIndex at = index(row);
    for (const int role : m_roles)
        values.append(data(at, role));
    return values;
}

void MessageRowsModel::announceChanges()
{
    for (const MessagePtr& message : std::exchange(m_changed, {})) {
        const int row = rowOf(message.get());
        if (row < 0)
            continue;
        QVariantList values = valuesAt(row);
        const auto shown = m_shown.constFind(message.get());
        QList<int> roles;
        if (shown != m_shown.cend()) {
            for (qsizetype at = 0; at < m_roles.size(); ++at) {
                if (values[at] != (*shown)[at])
                    roles.append(m_roles[at]);
            }
            if (roles.isEmpty())
                continue;
        }
        m_shown.insert(message.get(), values);
        // Unseen before: every role, the store's among them.
        Q_EMIT dataChanged(index(row), index(row), roles);
    }
}

QVariant MessageRowsModel::data(const QModelIndex& index, int role) const
{
    const MessagePtr m = recordAt(index.row());
    if (!m || index.column() != 0)
        return {};
    const QString text = m->content().value_or(QString());
    const bool hasFunction = isSet(m->functionName());
    const bool hasThinking = isSet(m->reasoning());
    const auto streaming = [&] { return m_controller && m_controller->isStreaming(*m); };
    switch (role) {
    case TextRole: return text;
    case IsOwnRole: return m->role() == QLatin1String("user");
    case KindRole: {
        if (m->role() == QLatin1String("user"))
            return int(Kind::Prompt);
        return int(text.isEmpty() && hasFunction && !hasThinking ? Kind::FunctionCall : Kind::Reply);
    }
    case ShowsPlaceholderRole: return text.isEmpty() && !hasFunction && !hasThinking;
    case HasFunctionRole: return hasFunction;
    case HasThinkingRole: return hasThinking;
    case ThinkingRole: return m->reasoning().value_or(QString());
    case ThinkingLabelRole:
        return hasThinking ? thinkingLabel(*m, !text.isEmpty() || hasFunction, streaming()) : QString();
    case ThinkingActiveRole: return hasThinking && text.isEmpty() && !hasFunction && streaming();
    case ThinkingUnfoldedRole: return m->id() && unfoldedThinking().contains(*m->id());
    case UsageTextRole: return usageText(*m);
    case RenderingRole: return int(MessageFormatting::renderingOf(text));
    case AccessibleTextRole:
        return text.size() > maxAccessibleTextLength ? text.left(maxAccessibleTextLength) + QStringLiteral("…") : text;
    default: break;
    }
    if (role < FunctionPreviewRole || role > FunctionCommandRole)
        return MessageListModel::data(index, role);
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
    default: return MessageListModel::data(index, role);
    }
}

bool MessageRowsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != ThinkingUnfoldedRole)
        return MessageListModel::setData(index, value, role);
    const MessagePtr m = recordAt(index.row());
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
    QHash<int, QByteArray> names = MessageListModel::roleNames();
    names.insert({
        {TextRole, "text"},
        {IsOwnRole, "isOwn"},
        {ShowsPlaceholderRole, "showsPlaceholder"},
        {KindRole, "kind"},
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
        {RenderingRole, "rendering"},
        {AccessibleTextRole, "accessibleText"},
    });
    return names;
}
