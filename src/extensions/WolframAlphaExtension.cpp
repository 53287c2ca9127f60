#include "extensions/WolframAlphaExtension.h"

#include "app/Settings.h"
#include "extensions/ArgumentPreview.h"
#include "extensions/FunctionExecutionError.h"

QString executeWolframAlphaRequest(const std::optional<QString>&)
{
    throw FunctionExecutionError(std::nullopt);
}

QByteArray percentEncodeQueryValue(const QString& text)
{
    return text.toUtf8();
}

CustomExtension makeWolframAlphaExtension()
{
    CustomFunction function;
    function.name = QStringLiteral("Query WolframAlpha");
    function.requiresConfirmation = false;
    function.apiDefinition.name = QStringLiteral("wolframAlphaRequest");
    function.apiDefinition.description = QStringLiteral(
        "Returns a response from Wolfram Alpha for the given query. Simple text output only. Use for calculations, "
        "looking up stats, and answering numerical queries.");
    function.apiDefinition.parameters.properties = {
        {QStringLiteral("prompt"),
         Property{QStringLiteral("string"), QStringLiteral("The query for Wolfram Alpha to reply to"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("prompt")};
    function.execution = [](const std::optional<QString>& arguments) { return executeWolframAlphaRequest(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Requesting from Wolfram Alpha\n```\n"), QStringLiteral("prompt"),
                                      arguments);
    };

    CustomExtension extension;
    extension.id = QStringLiteral("wolframAlphaRequest");
    extension.userFacingName = QStringLiteral("Wolfram Alpha access");
    extension.userFacingDescription = QStringLiteral(
        "Allows assistants to query Wolfram Alpha to answer questions. Useful for calculations, and looking up "
        "facts.");
    extension.enabledByDefault = false;
    extension.mayBeEnabled = [] {
        return !Settings::instance().storedText(Settings::wolframAlphaAppIdKey).value_or(QString()).isEmpty();
    };
    extension.functions = {function};
    return extension;
}
