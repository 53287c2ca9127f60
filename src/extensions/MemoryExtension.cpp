#include "extensions/MemoryExtension.h"

#include "app/Settings.h"
#include "extensions/ArgumentPreview.h"
#include "extensions/FunctionExecutionError.h"

namespace {

Property textProperty(const QString& description)
{
    return Property{QStringLiteral("string"), description, std::nullopt};
}

CustomFunction memoryFunction(const QString& name, bool requiresConfirmation, const QString& apiName,
                              const QString& description, const QList<QPair<QString, Property>>& properties,
                              const QStringList& required, FunctionExecution execution, FunctionPreview preview)
{
    CustomFunction function;
    function.name = name;
    function.requiresConfirmation = requiresConfirmation;
    function.apiDefinition.name = apiName;
    function.apiDefinition.description = description;
    function.apiDefinition.parameters.properties = properties;
    function.apiDefinition.parameters.required = required;
    function.execution = std::move(execution);
    function.preview = std::move(preview);
    return function;
}

FunctionPreview fencedPreview(const QString& heading)
{
    return [heading](const std::optional<QString>& arguments) { return fencedArgumentPreview(heading, arguments); };
}

} // namespace

QString executeUpsertMemory(const std::optional<QString>&) { throw FunctionExecutionError(std::nullopt); }
QString executeGetMemory(const std::optional<QString>&) { throw FunctionExecutionError(std::nullopt); }
QString executeDeleteMemory(const std::optional<QString>&) { throw FunctionExecutionError(std::nullopt); }
QString executeResetMemories(const std::optional<QString>&) { throw FunctionExecutionError(std::nullopt); }

CustomExtension makeMemoryExtension()
{
    CustomExtension extension;
    extension.id = QStringLiteral("memoryFunction");
    extension.userFacingName = QStringLiteral("Pinecone memory");
    extension.userFacingDescription =
        QStringLiteral("Pinecone allows assistants to remember tidbits across conversations.");
    extension.enabledByDefault = false;
    extension.mayBeEnabled = [] {
        return !Settings::instance().storedText(Settings::pineconeApiKeyKey).value_or(QString()).isEmpty();
    };
    extension.functions = {
        memoryFunction(QStringLiteral("Save memory"), false, QStringLiteral("upsertMemory"),
                       QStringLiteral("Stores or updates a given text string as a memory as a vector that can later "
                                      "be queried."),
                       {{QStringLiteral("id"),
                         textProperty(QStringLiteral("ID of an existing memory to that should be updated with the new "
                                                     "memory"))},
                        {QStringLiteral("memory"), textProperty(QStringLiteral("The piece of information to save."))}},
                       {QStringLiteral("memory")}, executeUpsertMemory, fencedPreview(QStringLiteral("Saving in memory"))),
        memoryFunction(QStringLiteral("Get memory"), false, QStringLiteral("getMemory"),
                       QStringLiteral("Query the memory database for information"),
                       {{QStringLiteral("query"),
                         textProperty(QStringLiteral("query to look up. Will automatically be converted to vector and "
                                                     "ran against database."))}},
                       {QStringLiteral("query")}, executeGetMemory, fencedPreview(QStringLiteral("Getting memory"))),
        memoryFunction(QStringLiteral("Delete memory"), false, QStringLiteral("deleteMemory"),
                       QStringLiteral("Delete one or more memories"),
                       {{QStringLiteral("ids"),
                         textProperty(QStringLiteral("Comma separated list of ids of the memories that should be "
                                                     "deleted"))}},
                       {QStringLiteral("ids")}, executeDeleteMemory, fencedPreview(QStringLiteral("Removing memories"))),
        memoryFunction(QStringLiteral("Delete all memories"), true, QStringLiteral("resetMemories"),
                       QStringLiteral("Deletes all memories"), {}, {}, executeResetMemories,
                       [](const std::optional<QString>&) { return QStringLiteral("Removing all memories"); }),
    };
    return extension;
}
