#include "extensions/FunctionArguments.h"

#include <QJsonDocument>
#include <QJsonParseError>

std::optional<QJsonObject> decodeArgumentObject(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QJsonObject> decodeArgumentObjectWithoutLineFeeds(const QString& text)
{
    QString joined = text;
    joined.remove(QLatin1Char('\n'));
    return decodeArgumentObject(joined);
}

QString requiredText(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        throw ArgumentDecodingError("missing or non-text field " + key.toStdString());
    return value.toString();
}

std::optional<QString> optionalText(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        throw ArgumentDecodingError("non-text field " + key.toStdString());
    return value.toString();
}

QJsonObject requireArgumentObject(const std::optional<QString>& text)
{
    if (!text)
        throw ArgumentDecodingError("no arguments");
    const auto object = decodeArgumentObject(*text);
    if (!object)
        throw ArgumentDecodingError("arguments are not a JSON object");
    return *object;
}
