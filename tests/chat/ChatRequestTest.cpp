#include "MessageFixture.h"

#include "chat/HistorySelection.h"
#include "chat/OpenAiService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

ApiFunction function(const QString& name, const QString& description)
{
    ApiFunction f;
    f.name = name;
    f.description = description;
    f.parameters.properties.append({QStringLiteral("code"), Property{QStringLiteral("string"), QStringLiteral("JS"), {}}});
    f.parameters.required = {QStringLiteral("code")};
    return f;
}

} // namespace

TEST(GraphemeCount, CountsUserPerceivedCharacters)
{
    EXPECT_EQ(graphemeCount(""), 0);
    EXPECT_EQ(graphemeCount("abc"), 3);
    EXPECT_EQ(graphemeCount("a\r\nb"), 3);                  // CR LF is one
    EXPECT_EQ(graphemeCount(QString::fromUtf8("e\u0301")), 1); // e + combining acute
    EXPECT_EQ(graphemeCount(QString::fromUtf8("cafe\u0301 \u00e9")), 6);
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F600")), 1);                  // two UTF-16 units
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F44D\U0001F3FD")), 1);        // skin tone modifier
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467")), 1); // ZWJ family
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7")), 2);   // two flags
    EXPECT_EQ(graphemeCount(QString::fromUtf8("\u00e4\r\n")), 2);
}

TEST(ToApiMessages, FunctionCallAndResultBecomeTwoRecords)
{
    MessageFixture store;
    const MessagePtr call = store.add("assistant", QString(), QString("x"), std::nullopt, QString("42"));
    const QList<ApiMessage> records = OpenAiService::toApiMessages(*call);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].toJson(), QJsonDocument::fromJson(R"({"role":"assistant","content":"","function_call":{"name":"x"}})").object());
    EXPECT_EQ(records[1].toJson(), QJsonDocument::fromJson(R"({"role":"function","content":"42","name":"x"})").object());

    // Arguments go through as text; an empty result counts as none.
    const MessagePtr pending = store.add("assistant", std::nullopt, QString("jsExecution"), QString("{\"code\":\"1\"}"), QString());
    const QList<ApiMessage> single = OpenAiService::toApiMessages(*pending);
    ASSERT_EQ(single.size(), 1);
    EXPECT_EQ(single[0].toJson(),
              QJsonDocument::fromJson(R"({"role":"assistant","function_call":{"name":"jsExecution","arguments":"{\"code\":\"1\"}"}})").object());

    // An empty function name sends no call; the result still goes with a name of "".
    const MessagePtr unnamed = store.add("assistant", QString("hi"), QString(""), QString("{}"), QString("r"));
    const QList<ApiMessage> two = OpenAiService::toApiMessages(*unnamed);
    ASSERT_EQ(two.size(), 2);
    EXPECT_FALSE(two[0].toJson().contains("function_call"));
    EXPECT_EQ(two[1].toJson(), QJsonDocument::fromJson(R"({"role":"function","content":"r","name":""})").object());
}

// The worked example of ten 3000-character messages: the 4096 budget keeps the three
// newest (their order and text, and an unknown model's budget, are checked on the wire
// in ChatStreamTest); the larger models take 16384 and keep all ten.
TEST(HistorySelection, WorkedExampleKeepsTheThreeNewestUnlessTheModelIsLarger)
{
    MessageFixture store;
    for (int i = 0; i < 10; ++i)
        store.add(i % 2 ? "assistant" : "user", QString::number(i).repeated(3000));
    const QString prompt = QString("p").repeated(300);
    const ModelInput input = OpenAiService::makeModelInput("gpt-3.5-turbo", prompt, store.messages(), {});
    ASSERT_EQ(input.messages.size(), 4);
    EXPECT_EQ(input.messages[0].content, prompt);
    EXPECT_EQ(input.messages[1].content, QString("7").repeated(3000));
    EXPECT_EQ(OpenAiService::makeModelInput("gpt-4-32k", prompt, store.messages(), {}).messages.size(), 11);
}

TEST(HistorySelection, OnceOneIsLeftOutEveryOlderOneIsToo)
{
    MessageFixture store;
    store.add("user", QString("old and short"));
    store.add("user", QString("x").repeated(12300)); // 4100 on its own
    store.add("user", QString("newest"));
    const std::vector<MessagePtr> kept = selectHistory(store.messages(), 0.0, 4096);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], store.messages()[2]);

    // A newest message too long on its own leaves only the system message.
    store.add("user", QString("y").repeated(12288)); // exactly 4096: not below the budget
    EXPECT_TRUE(selectHistory(store.messages(), 0.0, 4096).empty());
    EXPECT_EQ(OpenAiService::makeModelInput("gpt-3.5-turbo", "", store.messages(), {}).messages.size(), 1);
}

TEST(HistorySelection, CountsEveryTextFieldGraphemesAndFunctionsButNotNotices)
{
    const QString accented = QString::fromUtf8("e\u0301").repeated(3000); // 6000 code units, 3000 characters
    MessageFixture store;
    store.add("user", QString("first"));
    store.add("assistant", QString("a").repeated(3000), QString("bb"), QString("c"), QString("d")); // 3004 characters
    store.add("app", QString("z").repeated(30000)); // would exceed any budget if counted
    store.add("user", accented);

    // E = 100 + 1000 (accented) + 1001 (3004 / 3 truncated) = 2101; "first" brings 2102.
    EXPECT_EQ(selectHistory(store.messages(), 100.0, 2102).size(), 2u);
    EXPECT_EQ(selectHistory(store.messages(), 100.0, 2103).size(), 3u);

    // Function definitions count as description followed by name.
    const ApiFunction big = function(QString("n").repeated(3), QString("d").repeated(297)); // 100 tokens
    EXPECT_DOUBLE_EQ(initialSizeEstimate(QString("s").repeated(30), {big, big}), 210.0);
    const std::vector<MessagePtr> kept = selectHistory(store.messages(), initialSizeEstimate("", {big}), 2101);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0]->content(), accented);
}

TEST(HistorySelection, EstimateIsTruncatedAfterEveryMessage)
{
    MessageFixture store;
    for (int i = 0; i < 50; ++i)
        store.add("user", QString("ab")); // two thirds of a token each, truncated away
    EXPECT_EQ(selectHistory(store.messages(), 10.0, 11).size(), 50u);
    // Without truncation the running estimate would pass 11 after two messages.
}
