#pragma once

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Function definitions as the chat request carries them. Every field is always
// written except the optional ones of Property, which are left out when absent.
struct Property {
    QString type;
    std::optional<QString> description;
    std::optional<QStringList> enumValues; // "enum" on the wire
    QJsonObject toJson() const;
    bool operator==(const Property&) const = default;
};

struct Parameters {
    QString type = QStringLiteral("object");
    QList<QPair<QString, Property>> properties;
    QStringList required;
    QJsonObject toJson() const;
    bool operator==(const Parameters&) const = default;
};

struct ApiFunction {
    QString name;
    QString description;
    Parameters parameters;
    QJsonObject toJson() const;
    bool operator==(const ApiFunction&) const = default;
};

// Runs on a worker thread; returns the text for the model; may throw (any
// exception counts as a failure of the function).
using FunctionExecution = std::function<QString(const std::optional<QString>& arguments)>;
// Markdown describing what is about to run; cheap and synchronous.
using FunctionPreview = std::function<QString(const std::optional<QString>& arguments)>;

struct CustomFunction {
    QString name;
    bool requiresConfirmation = false;
    ApiFunction apiDefinition;
    FunctionExecution execution;
    FunctionPreview preview;
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
