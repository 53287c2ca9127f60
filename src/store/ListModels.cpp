#include "store/ListModels.h"

#include "store/StoreOperations.h"

namespace {

template <typename T>
QVariant optionalVariant(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant idVariant(const std::optional<QUuid>& id)
{
    return id ? QVariant(id->toString(QUuid::WithoutBraces)) : QVariant();
}

} // namespace

ConversationListModel::ConversationListModel(StoreContext& context, QObject* parent)
    : SortedRecordModel<Conversation>(
        [](const Conversation& a, const Conversation& b) {
            const qint64 ta = a.createdAt() ? a.createdAt()->toMSecsSinceEpoch() : 0;
            const qint64 tb = b.createdAt() ? b.createdAt()->toMSecsSinceEpoch() : 0;
            return ta != tb ? ta > tb : b.createdBefore(a);
        },
        [](const Conversation&) { return true; }, parent)
{
    connect(&context, &StoreContext::conversationInserted, this,
            [this](const ConversationPtr& c) { recordInserted(c); });
    connect(&context, &StoreContext::conversationChanged, this, [this](const ConversationPtr& c) { recordChanged(c); });
    connect(&context, &StoreContext::conversationRemoved, this, [this](const ConversationPtr& c) { recordRemoved(c); });
    // The list shows the assistant's name: a renamed (or, by another process,
    // removed) assistant redraws its rows.
    const auto redrawRowsOf = [this](const AssistantPtr& a) {
        for (int row = 0; row < rowCount(); ++row) {
            if (recordAt(row)->assistantKey() == a->primaryKey())
                Q_EMIT dataChanged(index(row), index(row));
        }
    };
    connect(&context, &StoreContext::assistantChanged, this, redrawRowsOf);
    connect(&context, &StoreContext::assistantRemoved, this, redrawRowsOf);
    reset(context.conversations());
}

QVariant ConversationListModel::data(const QModelIndex& index, int role) const
{
    const ConversationPtr c = recordAt(index.row());
    if (!c || index.column() != 0)
        return {};
    const AssistantPtr assistant = c->assistant();
    switch (role) {
    case Qt::DisplayRole:
    case AssistantNameRole: return assistant && assistant->name() ? *assistant->name() : QString();
    case RecordIdRole: return idVariant(c->id());
    case CreatedAtRole: return optionalVariant(c->createdAt());
    case UpdatedAtRole: return optionalVariant(c->updatedAt());
    case TitleRole: return optionalVariant(c->title());
    case ProfilePictureUrlRole: return assistant ? optionalVariant(assistant->profilePictureUrl()) : QVariant();
    default: return {};
    }
}

QHash<int, QByteArray> ConversationListModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},    {RecordIdRole, "id"},         {AssistantNameRole, "assistantName"},
            {CreatedAtRole, "createdAt"},    {UpdatedAtRole, "updatedAt"}, {ProfilePictureUrlRole, "profilePictureUrl"},
            {TitleRole, "conversationTitle"}};
}

AssistantListModel::AssistantListModel(StoreContext& context, QObject* parent)
    : SortedRecordModel<Assistant>(
        [](const Assistant& a, const Assistant& b) {
            const int order = QString::compare(a.name().value_or(QString()), b.name().value_or(QString()));
            return order != 0 ? order < 0 : a.createdBefore(b);
        },
        [](const Assistant& a) { return !a.deletedAt().has_value(); }, parent)
{
    connect(&context, &StoreContext::assistantInserted, this, [this](const AssistantPtr& a) { recordInserted(a); });
    connect(&context, &StoreContext::assistantChanged, this, [this](const AssistantPtr& a) { recordChanged(a); });
    connect(&context, &StoreContext::assistantRemoved, this, [this](const AssistantPtr& a) { recordRemoved(a); });
    reset(context.assistants());
}

QVariant AssistantListModel::data(const QModelIndex& index, int role) const
{
    const AssistantPtr a = recordAt(index.row());
    if (!a || index.column() != 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case AssistantNameRole: return a->name().value_or(QString());
    case RecordIdRole: return idVariant(a->id());
    case IntroRole: return optionalVariant(a->intro());
    case ProfilePictureUrlRole: return optionalVariant(a->profilePictureUrl());
    default: return {};
    }
}

QHash<int, QByteArray> AssistantListModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},
            {RecordIdRole, "id"},
            {AssistantNameRole, "name"},
            {IntroRole, "intro"},
            {ProfilePictureUrlRole, "profilePictureUrl"}};
}

MessageListModel::MessageListModel(StoreContext& context, const ConversationPtr& conversation, QObject* parent)
    : MessageListModel(context, conversation, SystemPrompt::Listed, parent)
{
}

MessageListModel::MessageListModel(StoreContext& context, const ConversationPtr& conversation,
                                   SystemPrompt systemPrompt, QObject* parent)
    : SortedRecordModel<Message>(
        [](const Message& a, const Message& b) { return messageOrderLess(a, b); },
        [systemPrompt](const Message& m) {
            return !m.isDeleted() && (systemPrompt == SystemPrompt::Listed || m.role() != QLatin1String("system"));
        },
        parent)
    , m_conversation(conversation)
{
    // Pieces streaming into other conversations must not cost a search of this list.
    const auto ours = [this](const MessagePtr& m) { return m->conversation() == m_conversation; };
    connect(&context, &StoreContext::messageInserted, this, [this, ours](const MessagePtr& m) {
        if (ours(m))
            recordInserted(m);
    });
    connect(&context, &StoreContext::messageChanged, this, [this, ours](const MessagePtr& m) {
        if (ours(m))
            recordChanged(m);
    });
    connect(&context, &StoreContext::messageRemoved, this, [this](const MessagePtr& m) { recordRemoved(m); });
    reset(conversation ? conversation->messages() : std::vector<MessagePtr>());
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const
{
    const MessagePtr m = recordAt(index.row());
    if (!m || index.column() != 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case ContentRole: return m->content().value_or(QString());
    case RecordIdRole: return idVariant(m->id());
    case RoleRole: return optionalVariant(m->role());
    case DoneRole: return m->done();
    case FunctionNameRole: return optionalVariant(m->functionName());
    case FunctionArgumentsRole: return optionalVariant(m->functionArguments());
    case FunctionResultRole: return optionalVariant(m->functionResult());
    case UpdatedAtRole: return optionalVariant(m->updatedAt());
    default: return {};
    }
}

QHash<int, QByteArray> MessageListModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},
            {RecordIdRole, "id"},
            {RoleRole, "role"},
            {ContentRole, "content"},
            {DoneRole, "done"},
            {FunctionNameRole, "functionName"},
            {FunctionArgumentsRole, "functionArguments"},
            {FunctionResultRole, "functionResult"},
            {UpdatedAtRole, "updatedAt"}};
}
