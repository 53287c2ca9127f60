#pragma once

#include "core/UntrustedText.h"
#include "openai/ApiFunction.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Runs on a worker thread; returns the text for the model; may throw (any
// exception counts as a failure of the function).
using FunctionExecution = std::function<QString(const std::optional<QString>& arguments)>;
// Markdown describing what is about to run; cheap and synchronous.
using FunctionPreview = std::function<QString(const std::optional<QString>& arguments)>;
// For a function the user confirms: the exact text that will run (a shell's
// command line, decoded and put into its template), or nothing when the
// arguments cannot be used. Cheap and synchronous; reads the settings now.
using ConfirmationText = std::function<std::optional<QString>(const std::optional<QString>& arguments)>;
// Runs exactly the text the user was shown and confirmed; like an execution,
// on a worker thread.
using ConfirmedExecution = std::function<QString(const QString& confirmedText)>;

struct CustomFunction {
    QString name;
    bool requiresConfirmation = false;
    // May wait without end (a child process): such runs get threads of their
    // own, so they never hold up the quick functions.
    bool blocksIndefinitely = false;
    ApiFunction apiDefinition;
    FunctionExecution execution;
    FunctionPreview preview;
    // Both set exactly when requiresConfirmation is: what the user sees is
    // computed once and the same text is what runs.
    ConfirmationText confirmationText;
    ConfirmedExecution confirmedExecution;
    // How the confirmation text is shown.
    UntrustedText::Escape confirmationEscape = UntrustedText::Escape::EverythingHidden;
};

// A named group of functions the model may call. The settings panel of an
// extension is attached by the settings window, not here.
struct CustomExtension {
    QString id;
    QString userFacingName;
    QString userFacingDescription;
    bool enabledByDefault = false;
    std::function<bool()> mayBeEnabled; // asked on every enabled check
    QList<CustomFunction> functions;
};
