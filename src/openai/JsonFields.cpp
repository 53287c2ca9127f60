#include "openai/JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace JsonFields {

namespace {

QString where(const Path& path)
{
    const QString text = path.toString();
    return text.isEmpty() ? QStringLiteral("the top level") : text;
}

} // namespace

void Reader::fail(const QString& description)
{
    if (!m_failure)
        m_failure = description;
}

void Reader::wrongType(const QString& expected, const Path& path)
{
    fail(QStringLiteral("Expected %1 at %2").arg(expected, where(path)));
}

std::optional<QJsonValue> Reader::requireValue(const QJsonObject& object, const QString& key, const Path& path)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd()) {
        fail(QStringLiteral("Missing required key \"%1\" at %2").arg(key, where(path)));
        return std::nullopt;
    }
    if (it->isNull()) {
        fail(QStringLiteral("Required key \"%1\" at %2 is null").arg(key, where(path)));
        return std::nullopt;
    }
    return *it;
}

QString Path::toString() const
{
    if (!m_parent)
        return QString();
    const QString parent = m_parent->toString();
    if (m_index >= 0)
        return parent + QLatin1Char('[') + QString::number(m_index) + QLatin1Char(']');
    return parent.isEmpty() ? m_key : parent + QLatin1Char('.') + m_key;
}

QJsonObject Reader::parseObject(const QByteArray& utf8)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        fail(QStringLiteral("Invalid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
        return {};
    }
    if (!document.isObject())
        wrongType(QStringLiteral("an object"), Path());
    return document.object();
}

QJsonObject Reader::requireObject(const QJsonValue& value, const Path& path)
{
    if (!value.isObject())
        wrongType(QStringLiteral("an object"), path);
    return value.toObject();
}

QJsonArray Reader::requireArray(const QJsonObject& object, const QString& key, const Path& path)
{
    const std::optional<QJsonValue> value = requireValue(object, key, path);
    if (value && !value->isArray())
        wrongType(QStringLiteral("an array"), path.member(key));
    return value ? value->toArray() : QJsonArray();
}

QJsonObject Reader::requireObject(const QJsonObject& object, const QString& key, const Path& path)
{
    const std::optional<QJsonValue> value = requireValue(object, key, path);
    return value ? requireObject(*value, path.member(key)) : QJsonObject();
}

QString Reader::requireString(const QJsonObject& object, const QString& key, const Path& path)
{
    const std::optional<QJsonValue> value = requireValue(object, key, path);
    if (value && !value->isString())
        wrongType(QStringLiteral("a string"), path.member(key));
    return value ? value->toString() : QString();
}

int Reader::requireInt(const QJsonObject& object, const QString& key, const Path& path)
{
    const std::optional<QJsonValue> value = requireValue(object, key, path);
    if (!value)
        return 0;
    const double number = value->toDouble();
    if (!value->isDouble() || !std::isfinite(number) || std::trunc(number) != number
        || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
        wrongType(QStringLiteral("an integer"), path.member(key));
        return 0;
    }
    return static_cast<int>(number);
}

float Reader::requireFloat(const QJsonValue& value, const Path& path)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max()) {
        wrongType(QStringLiteral("a 32-bit number"), path);
        return 0;
    }
    return static_cast<float>(number);
}

std::optional<QString> Reader::optionalString(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        wrongType(QStringLiteral("a string"), path.member(key));
        return std::nullopt;
    }
    return value.toString();
}

std::optional<int> Reader::optionalInt(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireInt(object, key, path);
}

std::optional<QJsonObject> Reader::optionalObject(const QJsonObject& object, const QString& key, const Path& path)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requireObject(value, path.member(key));
}

} // namespace JsonFields
