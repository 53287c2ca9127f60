#include "extensions/ShellExtension.h"

#include "extensions/ArgumentPreview.h"
#include "extensions/FunctionExecutionError.h"

QString executeShellCommand(const std::optional<QString>&)
{
    throw FunctionExecutionError(std::nullopt);
}

CustomExtension makeShellExtension()
{
    CustomFunction function;
    function.name = QStringLiteral("Run CLI command");
    function.requiresConfirmation = true;
    function.apiDefinition.name = QStringLiteral("cliExecution");
    function.apiDefinition.description = QStringLiteral("Executes the provided shell command on the host machine");
    function.apiDefinition.parameters.properties = {
        {QStringLiteral("command"),
         Property{QStringLiteral("string"), QStringLiteral("The command that should be executed"), std::nullopt}}};
    function.apiDefinition.parameters.required = {QStringLiteral("command")};
    function.execution = [](const std::optional<QString>& arguments) { return executeShellCommand(arguments); };
    function.preview = [](const std::optional<QString>& arguments) {
        return wrappedArgumentPreview(QStringLiteral("Executing\n```\n"), QStringLiteral("command"), arguments);
    };

    CustomExtension extension;
    extension.id = QStringLiteral("cliExecution");
    extension.userFacingName = QStringLiteral("Shell access");
    extension.userFacingDescription = QStringLiteral(
        "Allows assistants to execute shell commands on your computer. Useful for reading or writing files, and "
        "executing arbitrary commands.");
    extension.enabledByDefault = false;
    extension.mayBeEnabled = [] { return true; };
    extension.functions = {function};
    return extension;
}
