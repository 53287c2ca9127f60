#include "vorbel-cli/ConversationCommands.h"

#include "store/ConversationExport.h"
#include "store/ConversationSearch.h"
#include "store/ConversationTitles.h"
#include "store/ListModels.h"
#include "vorbel-cli/TextFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ConversationCommands {

namespace {

QString idText(const std::optional<QUuid>& id) { return id ? id->toString(QUuid::WithoutBraces) : QString(); }

// The one conversation a command names by its only argument; reports what is wrong.
ConversationPtr namedConversation(CliEnvironment& environment, const CommandArguments& arguments, qsizetype expected,
                                  int* status)
{
    *status = ExitUsage;
    if (arguments.positionals.isEmpty()) {
        reportError(environment.io, ExitUsage, QStringLiteral("missing conversation id"));
        return nullptr;
    }
    if (arguments.positionals.size() > expected) {
        reportError(environment.io, ExitUsage,
                    QStringLiteral("unexpected argument \"%1\"").arg(arguments.positionals.at(expected)));
        return nullptr;
    }
    const ConversationPtr conversation = findConversation(environment.store, arguments.positionals.first());
    if (!conversation)
        reportError(environment.io, ExitUsage,
                    QStringLiteral("no conversation with id %1").arg(arguments.positionals.first()));
    return conversation;
}

} // namespace

ConversationPtr findConversation(StoreContext& store, const QString& idText)
{
    const QUuid id = QUuid::fromString(idText.trimmed());
    if (id.isNull())
        return nullptr;
    return store.conversationWithId(id);
}

int list(CliEnvironment& environment)
{
    const ConversationListModel conversations(environment.store);
    for (int row = 0; row < conversations.rowCount(); ++row) {
        const ConversationPtr conversation = conversations.recordAt(row);
        const AssistantPtr assistant = conversation->assistant();
        const QString name = assistant && assistant->name() ? *assistant->name() : QStringLiteral("unknown");
        environment.io.out << TextFormats::tsvLine({idText(conversation->id()),
                                                    conversation->title().value_or(QString()), name,
                                                    ConversationExport::isoTime(conversation->updatedAt())})
                           << '\n';
    }
    environment.io.out.flush();
    return ExitSuccess;
}

int show(CliEnvironment& environment, const CommandArguments& arguments)
{
    int status = ExitSuccess;
    const ConversationPtr conversation = namedConversation(environment, arguments, 1, &status);
    if (!conversation)
        return status;
    if (arguments.flags.contains(QStringLiteral("json")))
        environment.io.out << QString::fromUtf8(ConversationExport::messagesJson(*conversation)) << '\n';
    else
        environment.io.out << ConversationExport::markdown(*conversation);
    environment.io.out.flush();
    return ExitSuccess;
}

int rename(CliEnvironment& environment, const CommandArguments& arguments)
{
    int status = ExitSuccess;
    const ConversationPtr conversation = namedConversation(environment, arguments, 2, &status);
    if (!conversation)
        return status;
    ConversationTitles::rename(environment.store, conversation, arguments.positionals.value(1));
    if (environment.store.hasChanges())
        return reportError(environment.io, ExitFailure, QStringLiteral("the title could not be saved"));
    return ExitSuccess;
}

int search(CliEnvironment& environment, const CommandArguments& arguments)
{
    const QString text = arguments.positionals.join(QLatin1Char(' '));
    if (ConversationSearch::matchExpression(text).isEmpty())
        return reportError(environment.io, ExitUsage, QStringLiteral("missing search text"));
    const Result<std::vector<SearchHit>> hits = ConversationSearch::search(environment.store.database().handle(), text);
    if (!hits)
        return reportError(environment.io, ExitFailure, QStringLiteral("the store could not be searched"));
    const bool json = arguments.flags.contains(QStringLiteral("json"));
    QJsonArray found;
    for (const SearchHit& hit : *hits) {
        const ConversationPtr conversation = environment.store.conversationWithRow(hit.conversationRow);
        if (!conversation)
            continue; // came after this process read the list
        const QString id = idText(conversation->id());
        const QString title = conversation->title().value_or(QString());
        if (json)
            found.append(QJsonObject{{QStringLiteral("id"), id},
                                     {QStringLiteral("title"), title},
                                     {QStringLiteral("snippet"), hit.snippet}});
        else
            environment.io.out << TextFormats::tsvLine({id, title, hit.snippet}) << '\n';
    }
    if (json)
        environment.io.out << QString::fromUtf8(QJsonDocument(found).toJson(QJsonDocument::Compact)) << '\n';
    environment.io.out.flush();
    return ExitSuccess;
}

} // namespace ConversationCommands
