#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "core/Result.h"

#include <optional>
#include <type_traits>

// Strict readers for the OpenAI wire records. Unknown keys are ignored; a
// required field that is missing, null or of the wrong type fails the whole
// record with a description naming the path. Optional fields may be missing
// or null. Readers are called inside decoded(), which turns the first failure
// into the record's Error.
namespace JsonFields {

// What a reader throws to unwind out of a nested record; decoded() catches it,
// so it never leaves a decoder.
struct Failure {
    QString description;
};

// The record `decode` builds with the readers below, or the first failure.
template <typename Decode>
Result<std::invoke_result_t<Decode>> decoded(Decode&& decode)
{
    try {
        return decode();
    } catch (const Failure& failure) {
        return Error{failure.description};
    }
}

// Where a value sits in the document, for the error message. Every streamed
// chunk is decoded with these, so a path is only spelled out when decoding
// fails. It refers to its parent: make paths from named paths, never from a
// temporary.
class Path {
public:
    Path() = default; // the top level

    Path member(const QString& key) const& { return Path(this, key, -1); }
    Path element(qsizetype index) const& { return Path(this, QString(), index); }
    Path member(const QString& key) const&& = delete;
    Path element(qsizetype index) const&& = delete;

    // "choices[0].delta"; empty for the top level.
    QString toString() const;

private:
    Path(const Path* parent, QString key, qsizetype index) : m_parent(parent), m_key(std::move(key)), m_index(index) {}

    const Path* m_parent = nullptr;
    QString m_key;          // of a member
    qsizetype m_index = -1; // of an element
};

QJsonObject parseObject(const QByteArray& utf8);

QJsonObject requireObject(const QJsonValue& value, const Path& path);
QJsonArray requireArray(const QJsonObject& object, const QString& key, const Path& path);
QJsonObject requireObject(const QJsonObject& object, const QString& key, const Path& path);
QString requireString(const QJsonObject& object, const QString& key, const Path& path);
int requireInt(const QJsonObject& object, const QString& key, const Path& path);
float requireFloat(const QJsonValue& value, const Path& path);

std::optional<QString> optionalString(const QJsonObject& object, const QString& key, const Path& path);
std::optional<int> optionalInt(const QJsonObject& object, const QString& key, const Path& path);
std::optional<QJsonObject> optionalObject(const QJsonObject& object, const QString& key, const Path& path);

} // namespace JsonFields
