#include "store/AssistantSeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

// A valid entry followed by one with `key` set to `value` (removed when undefined).
QByteArray bodyWith(const QString& key, const QJsonValue& value)
{
    const QJsonObject valid{{"name", "Tutor"},
                            {"personality", "Teach."},
                            {"intro", "Hi"},
                            {"profilePictureUrl", "https://example.com/t.png"},
                            {"version", 3}};
    QJsonObject changed = valid;
    if (value.isUndefined())
        changed.remove(key);
    else
        changed[key] = value;
    return QJsonDocument(QJsonObject{{"assistants", QJsonArray{valid, changed}}}).toJson();
}

} // namespace

// One bad entry rejects the whole body; keys match exactly.
TEST(CatalogueDecode, RejectsBadEntriesAndBodiesThatAreNotACatalogue)
{
    QList<QByteArray> bodies;
    for (const char* key : {"name", "personality", "intro", "profilePictureUrl", "version"})
        bodies << bodyWith(key, QJsonValue::Undefined) << bodyWith(key, QJsonValue::Null);
    const QList<QPair<QString, QJsonValue>> wrong = {{"name", 5},
                                                     {"personality", true},
                                                     {"intro", QJsonArray{"Hi"}},
                                                     {"profilePictureUrl", QJsonObject{}},
                                                     {"version", "3"},
                                                     {"version", 32768},
                                                     {"version", -32769},
                                                     {"version", 1.5},
                                                     {"forceDelete", "true"},
                                                     {"forceDelete", 1}};
    for (const auto& [key, value] : wrong)
        bodies << bodyWith(key, value);
    bodies << bodyWith("intro", QJsonValue::Undefined).replace(R"("name")", R"("Intro":"Hi","name")");
    bodies << R"({"assistants":[{"name":"a","personality":"p","intro":"i","profilePictureUrl":"u","version":1e400}]})"
           << R"({"assistants": [1]})"
           << ""
           << "not json"
           << "[]"
           << R"({"assistants": {}})"
           << R"({"assistants": null})"
           << R"({"entries": []})"
           << R"({"assistants": [)"
           << "\xff\xfe{}";
    for (const QByteArray& body : bodies)
        EXPECT_FALSE(decodeAssistantApiResponse(body)) << body.toStdString();
}
