#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Strict readers for the OpenAI wire records. Unknown keys are ignored; a
// required field that is missing, null or of the wrong type throws
// DecodingError (app/RequestErrors.h) naming the path, so one bad field fails
// the whole record. Optional fields may be missing or null.
namespace JsonFields {

QJsonObject parseObject(const QByteArray& utf8);

QJsonObject requireObject(const QJsonValue& value, const QString& path);
QJsonArray requireArray(const QJsonObject& object, const QString& key, const QString& path);
QJsonObject requireObject(const QJsonObject& object, const QString& key, const QString& path);
QString requireString(const QJsonObject& object, const QString& key, const QString& path);
int requireInt(const QJsonObject& object, const QString& key, const QString& path);
float requireFloat(const QJsonValue& value, const QString& path);

std::optional<QString> optionalString(const QJsonObject& object, const QString& key, const QString& path);
std::optional<QJsonObject> optionalObject(const QJsonObject& object, const QString& key, const QString& path);

QString member(const QString& path, const QString& key);
QString element(const QString& path, qsizetype index);

} // namespace JsonFields
