#include "vorbel-cli/AssistantCommands.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "vorbel-cli/TextFormats.h"

namespace AssistantCommands {

Result<void> validate(const QString& name, const QString& personality, const QString& pictureUrl)
{
    if (name.isEmpty())
        return Error{QStringLiteral("Name is required")};
    if (personality.isEmpty())
        return Error{QStringLiteral("Personality is required")};
    if (pictureUrl.isEmpty())
        return Error{QStringLiteral("Picture URL is required")};
    if (!pictureUrl.startsWith(QLatin1String("https://")) && !pictureUrl.startsWith(QLatin1String("http://")))
        return Error{QStringLiteral("Picture URL needs to start with http:// or https://")};
    return {};
}

int list(CliEnvironment& environment)
{
    const AssistantListModel assistants(environment.store);
    for (int row = 0; row < assistants.rowCount(); ++row) {
        const AssistantPtr assistant = assistants.recordAt(row);
        const QString id = assistant->id() ? assistant->id()->toString(QUuid::WithoutBraces) : QString();
        environment.io.out << TextFormats::tsvLine({id, assistant->name().value_or(QStringLiteral("Unknown"))}) << '\n';
    }
    environment.io.out.flush();
    return ExitSuccess;
}

int add(CliEnvironment& environment, const CommandArguments& arguments)
{
    if (!arguments.positionals.isEmpty())
        return reportError(environment.io, ExitUsage,
                           QStringLiteral("unexpected argument \"%1\"").arg(arguments.positionals.first()));
    const QString name = arguments.value(QStringLiteral("name"));
    const QString personality = arguments.value(QStringLiteral("personality"));
    const QString picture = arguments.value(QStringLiteral("picture"));
    if (const Result<void> valid = validate(name, personality, picture); !valid)
        return reportError(environment.io, ExitUsage, valid.errorText());

    const AssistantPtr assistant = createAssistant(environment.store, name, personality, picture);
    // The process ends right after this: a change that did not reach the file
    // would be lost, so a failed save is a failure here, not a pending change.
    if (environment.store.hasChanges())
        return reportError(environment.io, ExitFailure, QStringLiteral("the assistant could not be saved"));
    environment.io.out << assistant->id()->toString(QUuid::WithoutBraces) << '\n';
    environment.io.out.flush();
    return ExitSuccess;
}

} // namespace AssistantCommands
