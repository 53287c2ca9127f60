#include "extensions/ExtensionRegistry.h"

#include "core/Settings.h"
#include "extensions/JavaScriptExtension.h"
#include "extensions/MemoryExtension.h"
#include "extensions/ShellExtension.h"
#include "extensions/WolframAlphaExtension.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

namespace {

// Built once, on first use, and kept for the life of the process.
const QList<CustomExtension>& builtInExtensions()
{
    static const QList<CustomExtension> extensions{makeJavaScriptExtension(), makeWolframAlphaExtension(),
                                                   makeShellExtension(), makeMemoryExtension()};
    return extensions;
}

// Replaced as a whole from the UI thread while workers read it: a copy is
// taken under the lock (the list is shared, so the copy is cheap).
QMutex dynamicMutex;
QList<CustomExtension>& dynamicExtensions()
{
    static QList<CustomExtension> extensions;
    return extensions;
}

QList<CustomExtension> registry()
{
    QList<CustomExtension> extensions = builtInExtensions();
    QMutexLocker lock(&dynamicMutex);
    extensions.append(dynamicExtensions());
    return extensions;
}

QMutex overridesMutex;
QHash<QString, FunctionExecution>& overrides()
{
    static QHash<QString, FunctionExecution> map;
    return map;
}

} // namespace

QList<CustomExtension> allExtensions() { return registry(); }

void setDynamicExtensions(QList<CustomExtension> extensions)
{
    QMutexLocker lock(&dynamicMutex);
    dynamicExtensions() = std::move(extensions);
}

bool isExtensionEnabled(const QString& id)
{
    const QString key = Settings::extensionEnabledKey(id);
    const CustomExtension* found = nullptr;
    const QList<CustomExtension> extensions = registry();
    for (const CustomExtension& extension : extensions) {
        if (extension.id == id) {
            found = &extension;
            break;
        }
    }
    if (found && found->mayBeEnabled && !found->mayBeEnabled())
        return false;
    if (const auto stored = Settings::instance().storedBool(key))
        return *stored;
    return found ? found->enabledByDefault : false;
}

QList<ApiFunction> enabledFunctionDefinitions()
{
    QList<ApiFunction> definitions;
    const QList<CustomExtension> extensions = registry();
    for (const CustomExtension& extension : extensions) {
        if (!isExtensionEnabled(extension.id))
            continue;
        for (const CustomFunction& function : extension.functions)
            definitions.append(function.apiDefinition);
    }
    return definitions;
}

QSet<QString> offeredFunctionNames()
{
    QSet<QString> names;
    for (const ApiFunction& definition : enabledFunctionDefinitions())
        names.insert(definition.name);
    return names;
}

bool isFunctionOffered(const QString& apiName)
{
    const QList<CustomExtension> extensions = registry();
    for (const CustomExtension& extension : extensions) {
        for (const CustomFunction& function : extension.functions) {
            if (function.apiDefinition.name == apiName)
                return isExtensionEnabled(extension.id);
        }
    }
    return false;
}

std::optional<CustomFunction> findFunction(const std::optional<QString>& name)
{
    if (!name)
        return std::nullopt;
    const QList<CustomExtension> extensions = registry();
    for (const CustomExtension& extension : extensions) {
        for (const CustomFunction& function : extension.functions) {
            if (function.apiDefinition.name != *name)
                continue;
            CustomFunction found = function;
            QMutexLocker lock(&overridesMutex);
            if (const auto it = overrides().constFind(*name); it != overrides().constEnd()) {
                found.execution = *it;
                if (found.confirmedExecution)
                    found.confirmedExecution = [override = *it](const QString& text) { return override(text); };
            }
            return found;
        }
    }
    return std::nullopt;
}

QString functionPreview(const Message& message)
{
    const std::optional<CustomFunction> function = findFunction(message.functionName());
    if (!function || !function->preview)
        return QString();
    return function->preview(message.functionArguments());
}

void setExecutionOverrideForTesting(const QString& apiName, const FunctionExecution& execution)
{
    QMutexLocker lock(&overridesMutex);
    if (execution)
        overrides().insert(apiName, execution);
    else
        overrides().remove(apiName);
}
