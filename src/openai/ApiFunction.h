#pragma once

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

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
    // A JSON Schema taken as it came (a tool server's), sent instead of `parameters`.
    std::optional<QJsonObject> schema;
    QJsonObject toJson() const;
    bool operator==(const ApiFunction&) const = default;
};
