#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <stdexcept>

// Decoding of the arguments text the model sent into a function's own fields.

// The arguments as a JSON object, or nothing when they are not one.
std::optional<QJsonObject> decodeArgumentObject(const QString& text);

// The same after every line feed was deleted (the JavaScript and shell
// executions accept raw line feeds the model wrote inside strings).
std::optional<QJsonObject> decodeArgumentObjectWithoutLineFeeds(const QString& text);

// Thrown when the arguments do not fit the function's record.
class ArgumentDecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A required text field: missing, null or not a string fails.
QString requiredText(const QJsonObject& object, const QString& key);
// An optional text field: missing or null is absent; another type fails.
std::optional<QString> optionalText(const QJsonObject& object, const QString& key);

// The whole object for functions whose arguments must decode; absent or
// undecodable arguments throw ArgumentDecodingError.
QJsonObject requireArgumentObject(const std::optional<QString>& text);
