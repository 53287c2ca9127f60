#include "openai/JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace JsonFields {

namespace {

[[noreturn]] void fail(const QString& description)
{
    throw Failure{description};
}

QString where(const Path& path)
{
    const QString text = path.toString();
    return text.isEmpty() ? QStringLiteral("the top level") : text;
}

QJsonValue requireValue(const QJsonObject& object, const QString& key, const Path& path)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd())
        fail(QStringLiteral("Missing required key \"%1\" at %2").arg(key, where(path)));
    if (it->isNull())
        fail(QStringLiteral("Required key \"%1\" at %2 is null").arg(key, where(path)));
    return *it;
}

[[noreturn]] void wrongType(const QString& expected, const Path& path)
{
    fail(QStringLiteral("Expected %1 at %2").arg(expected, where(path)));
}

} // namespace

QString Path::toString() const
{
    if (!m_parent)
        return QString();
    const QString parent = m_parent->toString();
    if (m_index >= 0)
        return parent + QLatin1Char('[') + QString::number(m_index) + QLatin1Char(']');
    return parent.isEmpty() ? m_key : parent + QLatin1Char('.') + m_key;
}

QJsonObject parseObject(const QByteArray& utf8)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError)
        fail(QStringLiteral("Invalid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
    if (!document.isObject())
        wrongType(QStringLiteral("an object"), Path());
    return document.object();
}

QJsonObject requireObject(const QJsonValue& value, const Path& path)
{
    if (!value.isObject())
        wrongType(QStringLiteral("an object"), path);
    return value.toObject();
}

QJsonArray requireArray(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = requireValue(object, key, path);
    if (!value.isArray())
        wrongType(QStringLiteral("an array"), path.member(key));
    return value.toArray();
}

QJsonObject requireObject(const QJsonObject& object, const QString& key, const Path& path)
{
    return requireObject(requireValue(object, key, path), path.member(key));
}

QString requireString(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = requireValue(object, key, path);
    if (!value.isString())
        wrongType(QStringLiteral("a string"), path.member(key));
    return value.toString();
}

int requireInt(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = requireValue(object, key, path);
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::trunc(number) != number
        || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        wrongType(QStringLiteral("an integer"), path.member(key));
    return static_cast<int>(number);
}

float requireFloat(const QJsonValue& value, const Path& path)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max())
        wrongType(QStringLiteral("a 32-bit number"), path);
    return static_cast<float>(number);
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        wrongType(QStringLiteral("a string"), path.member(key));
    return value.toString();
}

std::optional<int> optionalInt(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireInt(object, key, path);
}

std::optional<QJsonObject> optionalObject(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireObject(value, path.member(key));
}

} // namespace JsonFields
