#include "openai/ApiFunction.h"

#include <QJsonArray>

QJsonObject Property::toJson() const
{
    QJsonObject object{{QStringLiteral("type"), type}};
    if (description)
        object.insert(QStringLiteral("description"), *description);
    if (enumValues)
        object.insert(QStringLiteral("enum"), QJsonArray::fromStringList(*enumValues));
    return object;
}

QJsonObject Parameters::toJson() const
{
    QJsonObject props;
    for (const auto& [name, property] : properties)
        props.insert(name, property.toJson());
    return QJsonObject{{QStringLiteral("type"), type},
                       {QStringLiteral("properties"), props},
                       {QStringLiteral("required"), QJsonArray::fromStringList(required)}};
}

QJsonObject ApiFunction::toJson() const
{
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("description"), description},
                       {QStringLiteral("parameters"), schema ? *schema : parameters.toJson()}};
}
