#include "extensions/MemoryExtension.h"

#include "core/Settings.h"
#include "extensions/ArgumentPreview.h"
#include "extensions/ExtensionsLog.h"
#include "extensions/FunctionArguments.h"
#include "extensions/PineconeClient.h"
#include "openai/OpenAiRequests.h"

#include <charconv>
#include <stdexcept>

namespace {

Property textProperty(const QString& description)
{
    return Property{QStringLiteral("string"), description, std::nullopt};
}

CustomFunction memoryFunction(const QString& name, bool requiresConfirmation, const QString& apiName,
                              const QString& description, const QList<QPair<QString, Property>>& properties,
                              const QStringList& required, const FunctionExecution& execution,
                              const FunctionPreview& preview)
{
    CustomFunction function;
    function.name = name;
    function.requiresConfirmation = requiresConfirmation;
    function.apiDefinition.name = apiName;
    function.apiDefinition.description = description;
    function.apiDefinition.parameters.properties = properties;
    function.apiDefinition.parameters.required = required;
    function.execution = execution;
    function.preview = preview;
    if (requiresConfirmation) {
        // Takes no arguments: what the user confirms is the preview itself.
        function.confirmationText = [preview](const std::optional<QString>& arguments) -> std::optional<QString> {
            return preview(arguments);
        };
        function.confirmedExecution = [execution](const QString&) { return execution(std::nullopt); };
    }
    return function;
}

const QString invalidCredentialsText =
    QStringLiteral("Your Pinecone credentials appear to be invalid. Please update in app settings.");

// The embedding of the first entry of the answer.
QList<float> embeddingOf(const QString& text)
{
    const Result<OpenAiEmbeddingCreationResponse> response = createEmbedding(text);
    if (!response)
        throw std::runtime_error(response.errorText().toStdString());
    if (response->data.isEmpty())
        throw std::runtime_error("embeddings answer without data");
    return response->data.first().embedding;
}

// The shortest decimal text that reads back as the same 32-bit float.
QString shortestText(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// Refused credentials get their own text; every other failure after the
// arguments were read is logged and answered with the function's failure text.
template <typename Body>
QString answeringServiceFailures(const QString& failureText, Body&& body)
{
    try {
        return body();
    } catch (const PineconeError& error) {
        if (error.kind() == PineconeError::Kind::InvalidCredentials)
            return invalidCredentialsText;
        qCWarning(lcExtensions) << "Memory function failed:" << error.what();
    } catch (const std::exception& error) {
        qCWarning(lcExtensions) << "Memory function failed:" << error.what();
    }
    return failureText;
}

FunctionPreview fencedPreview(const QString& heading)
{
    return [heading](const std::optional<QString>& arguments) { return fencedArgumentPreview(heading, arguments); };
}

} // namespace

QString executeUpsertMemory(const std::optional<QString>& arguments)
{
    const QJsonObject object = requireArgumentObject(arguments);
    const QString memory = requiredText(object, QStringLiteral("memory"));
    const std::optional<QString> id = optionalText(object, QStringLiteral("id"));
    return answeringServiceFailures(QStringLiteral("Unable to save memory"), [&] {
        // The index address first: without one, no embedding is paid for.
        Pinecone::pineconeBaseUrl();
        Pinecone::upsertVector(embeddingOf(memory), memory, id);
        return QStringLiteral("Memory saved");
    });
}

QString executeGetMemory(const std::optional<QString>& arguments)
{
    const QString query = requiredText(requireArgumentObject(arguments), QStringLiteral("query"));
    return answeringServiceFailures(QStringLiteral("Unable to recall memory"), [&] {
        Pinecone::pineconeBaseUrl();
        const Pinecone::QueryResponse response = Pinecone::queryVectors(embeddingOf(query));
        QStringList rendered;
        for (const Pinecone::Match& match : response.matches) {
            rendered << QStringLiteral("Id: ") + match.id + QStringLiteral("\nScore: ") + shortestText(match.score)
                            + QStringLiteral("\nContent: ") + (match.metadata ? match.metadata->text : QString());
        }
        return QStringLiteral("Relevant memories:\n") + rendered.join(QStringLiteral("\n\n"));
    });
}

QString executeDeleteMemory(const std::optional<QString>& arguments)
{
    const QString ids = requiredText(requireArgumentObject(arguments), QStringLiteral("ids"));
    return answeringServiceFailures(QStringLiteral("Unable to remove memory"), [&] {
        // Split at every comma; pieces keep their spaces and may be empty.
        Pinecone::deleteVectors(ids.split(QLatin1Char(','), Qt::KeepEmptyParts));
        return QStringLiteral("Removed memories ") + ids;
    });
}

QString executeResetMemories(const std::optional<QString>&)
{
    return answeringServiceFailures(QStringLiteral("Unable to reset memories"), [] {
        Pinecone::deleteAllVectors();
        return QStringLiteral("Successfully reset all memories");
    });
}

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
                       {QStringLiteral("memory")}, executeUpsertMemory,
                       fencedPreview(QStringLiteral("Saving in memory"))),
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
                       {QStringLiteral("ids")}, executeDeleteMemory,
                       fencedPreview(QStringLiteral("Removing memories"))),
        memoryFunction(QStringLiteral("Delete all memories"), true, QStringLiteral("resetMemories"),
                       QStringLiteral("Deletes all memories"), {}, {}, executeResetMemories,
                       [](const std::optional<QString>&) { return QStringLiteral("Removing all memories"); }),
    };
    return extension;
}
