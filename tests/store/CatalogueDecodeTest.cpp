#include "store/AssistantSeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QJsonObject entry()
{
    return QJsonObject{{"name", "Tutor"},
                       {"personality", "Teach."},
                       {"intro", "Hi"},
                       {"profilePictureUrl", "https://example.com/t.png"},
                       {"version", 3}};
}

QByteArray bodyWith(const QJsonObject& one)
{
    return QJsonDocument(QJsonObject{{"assistants", QJsonArray{entry(), one}}}).toJson();
}

} // namespace

TEST(CatalogueDecode, ReadsEveryFieldAndIgnoresUnknownKeys)
{
    QJsonObject second = entry();
    second["name"] = "Ünïcode 名前";
    second["forceDelete"] = true;
    second["category"] = "extra"; // not ours: ignored
    const auto decoded = decodeAssistantApiResponse(bodyWith(second));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->assistants.size(), 2u);
    const AssistantSeed& first = decoded->assistants[0];
    EXPECT_EQ(first.name, "Tutor");
    EXPECT_EQ(first.personality, "Teach.");
    EXPECT_EQ(first.intro, "Hi");
    EXPECT_EQ(first.profilePictureUrl, "https://example.com/t.png");
    EXPECT_EQ(first.version, 3);
    EXPECT_FALSE(first.forceDelete.has_value());
    EXPECT_FALSE(first.isForceDelete());
    EXPECT_EQ(decoded->assistants[1].name, QString::fromUtf8("Ünïcode 名前"));
    EXPECT_TRUE(decoded->assistants[1].isForceDelete());

    QJsonObject nullDelete = entry();
    nullDelete["forceDelete"] = QJsonValue::Null;
    const auto withNull = decodeAssistantApiResponse(bodyWith(nullDelete));
    ASSERT_TRUE(withNull);
    EXPECT_FALSE(withNull->assistants[1].isForceDelete());

    const auto empty = decodeAssistantApiResponse(R"({"assistants": []})");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->assistants.empty());
}

TEST(CatalogueDecode, OneBadEntryRejectsTheWholeBody)
{
    for (const char* key : {"name", "personality", "intro", "profilePictureUrl", "version"}) {
        QJsonObject missing = entry();
        missing.remove(key);
        EXPECT_FALSE(decodeAssistantApiResponse(bodyWith(missing))) << "missing " << key;

        QJsonObject nulled = entry();
        nulled[key] = QJsonValue::Null;
        EXPECT_FALSE(decodeAssistantApiResponse(bodyWith(nulled))) << "null " << key;
    }
    // Wrong JSON types; keys are matched exactly, so a differently cased key is missing.
    const QList<QPair<QString, QJsonValue>> wrong = {
        {"name", 5}, {"personality", true}, {"intro", QJsonArray{"Hi"}},
        {"profilePictureUrl", QJsonObject{}}, {"version", "3"}, {"forceDelete", "true"}, {"forceDelete", 1}};
    for (const auto& [key, value] : wrong) {
        QJsonObject bad = entry();
        bad[key] = value;
        EXPECT_FALSE(decodeAssistantApiResponse(bodyWith(bad))) << qPrintable(key);
    }
    QJsonObject cased = entry();
    cased.remove("intro");
    cased["Intro"] = "Hi";
    EXPECT_FALSE(decodeAssistantApiResponse(bodyWith(cased)));

    EXPECT_FALSE(decodeAssistantApiResponse(R"({"assistants": [1]})"));
}

TEST(CatalogueDecode, VersionMustBeAWholeNumberInTheSixteenBitRange)
{
    const auto versionOf = [](const QByteArray& literal) -> std::optional<qint16> {
        const QByteArray body = R"({"assistants":[{"name":"a","personality":"p","intro":"i",)"
                                R"("profilePictureUrl":"u","version":)" + literal + "}]}";
        const auto decoded = decodeAssistantApiResponse(body);
        if (!decoded)
            return std::nullopt;
        return decoded->assistants.at(0).version;
    };
    for (const qint16 version : {qint16(32767), qint16(-32768), qint16(0)})
        EXPECT_EQ(versionOf(QByteArray::number(version)), version);
    for (const char* literal : {"32768", "-32769", "70000", "1.5", "1e400", "null"})
        EXPECT_FALSE(versionOf(literal)) << literal;
}

TEST(CatalogueDecode, RejectsBodiesThatAreNotACatalogue)
{
    for (const QByteArray& body : QList<QByteArray>{
             "", "not json", "[]", R"({"assistants": {}})", R"({"assistants": null})", R"({"entries": []})",
             R"({"assistants": [)", "\xff\xfe{}"}) {
        EXPECT_FALSE(decodeAssistantApiResponse(body)) << body.toStdString();
    }
}
