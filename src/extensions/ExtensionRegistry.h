#pragma once

#include "extensions/CustomExtension.h"
#include "extensions/FunctionCallRunner.h"
#include "store/Records.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The registry: the four built-in extensions, then those provided at run time
// (tool servers), in the order of the settings list and of the function
// definitions of a chat request.

QList<CustomExtension> allExtensions();

// Replaces the extensions provided at run time; the built-in ones stay first.
// Thread-safe: executions look functions up from workers.
void setDynamicExtensions(QList<CustomExtension> extensions);

// False while the extension may not be enabled (missing credentials), whatever
// is stored; otherwise the stored flag, or the extension's default while the
// user never touched it. Unknown ids are disabled.
bool isExtensionEnabled(const QString& id);

// The definitions of the functions of every enabled extension, in registry order.
QList<ApiFunction> enabledFunctionDefinitions();

// The API names of those definitions: what a request offers the model now.
QSet<QString> offeredFunctionNames();
// Whether one of them is `apiName`, asking only its own extension.
bool isFunctionOffered(const QString& apiName);

// The first function of any extension, enabled or not, whose API name matches
// exactly. With a test override in place, its execution is the override (for
// a confirmed function, called with the confirmed text).
std::optional<CustomFunction> findFunction(const std::optional<QString>& name);

// The matching function's preview of the message's arguments, or empty text.
QString functionPreview(const Message& message);

// Tests replace an execution by API name; an empty function restores the real one.
void setExecutionOverrideForTesting(const QString& apiName, const FunctionExecution& execution);
