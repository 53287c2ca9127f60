#include "chat/JsonFields.h"

#include "app/RequestErrors.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace JsonFields {

namespace {

[[noreturn]] void fail(const QString& description)
{
    throw DecodingError(description.toStdString());
}

QString where(const QString& path)
{
    return path.isEmpty() ? QStringLiteral("the top level") : path;
}

QJsonValue requireValue(const QJsonObject& object, const QString& key, const QString& path)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd())
        fail(QStringLiteral("Missing required key \"%1\" at %2").arg(key, where(path)));
    if (it->isNull())
        fail(QStringLiteral("Required key \"%1\" at %2 is null").arg(key, where(path)));
    return *it;
}

[[noreturn]] void wrongType(const QString& expected, const QString& path)
{
    fail(QStringLiteral("Expected %1 at %2").arg(expected, where(path)));
}

} // namespace

QString member(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

QString element(const QString& path, qsizetype index)
{
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QJsonObject parseObject(const QByteArray& utf8)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError)
        fail(QStringLiteral("Invalid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
    if (!document.isObject())
        wrongType(QStringLiteral("an object"), QString());
    return document.object();
}

QJsonObject requireObject(const QJsonValue& value, const QString& path)
{
    if (!value.isObject())
        wrongType(QStringLiteral("an object"), path);
    return value.toObject();
}

QJsonArray requireArray(const QJsonObject& object, const QString& key, const QString& path)
{
    const QJsonValue value = requireValue(object, key, path);
    if (!value.isArray())
        wrongType(QStringLiteral("an array"), member(path, key));
    return value.toArray();
}

QJsonObject requireObject(const QJsonObject& object, const QString& key, const QString& path)
{
    return requireObject(requireValue(object, key, path), member(path, key));
}

QString requireString(const QJsonObject& object, const QString& key, const QString& path)
{
    const QJsonValue value = requireValue(object, key, path);
    if (!value.isString())
        wrongType(QStringLiteral("a string"), member(path, key));
    return value.toString();
}

int requireInt(const QJsonObject& object, const QString& key, const QString& path)
{
    const QJsonValue value = requireValue(object, key, path);
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number
        || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        wrongType(QStringLiteral("an integer"), member(path, key));
    return static_cast<int>(number);
}

float requireFloat(const QJsonValue& value, const QString& path)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
        wrongType(QStringLiteral("a 32-bit number"), path);
    return static_cast<float>(number);
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key, const QString& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        wrongType(QStringLiteral("a string"), member(path, key));
    return value.toString();
}

std::optional<QJsonObject> optionalObject(const QJsonObject& object, const QString& key, const QString& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireObject(value, member(path, key));
}

} // namespace JsonFields
