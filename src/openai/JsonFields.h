#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "core/Result.h"

#include <optional>

// Strict readers for the OpenAI wire records. Unknown keys are ignored; a
// required field that is missing, null or of the wrong type fails the whole
// record with a description naming the path. Optional fields may be missing
// or null.
namespace JsonFields {

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
    Path(const Path* parent, QString key, qsizetype index)
        : m_parent(parent)
        , m_key(std::move(key))
        , m_index(index)
    {
    }

    const Path* m_parent = nullptr;
    QString m_key;          // of a member
    qsizetype m_index = -1; // of an element
};

// Reads the fields of one record. A reader that fails keeps its first
// failure and answers empty values from then on; the decoder reads on to its
// end and hands back result(), so no failure unwinds through it.
class Reader {
public:
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

    // The record read, or the first failure met while reading it.
    template <typename T>
    Result<T> result(T record) const
    {
        if (m_failure)
            return Error{*m_failure};
        return record;
    }

private:
    std::optional<QJsonValue> requireValue(const QJsonObject& object, const QString& key, const Path& path);
    void fail(const QString& description);
    void wrongType(const QString& expected, const Path& path);

    std::optional<QString> m_failure;
};

} // namespace JsonFields
