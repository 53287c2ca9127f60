#include "MessageFixture.h"

#include "chat/HistorySelection.h"
#include "chat/OpenAiService.h"

#include <gtest/gtest.h>

TEST(GraphemeCount, CountsUserPerceivedCharacters)
{
    const QList<QPair<const char*, int>> cases{{"", 0},
                                               {"abc", 3},
                                               {"a\r\nb", 3},
                                               {"e\u0301", 1},
                                               {"cafe\u0301 \u00e9", 6},
                                               {"\u00e4\r\n", 2},
                                               {"\U0001F600", 1},                                 // two UTF-16 units
                                               {"\U0001F44D\U0001F3FD", 1},                       // skin tone modifier
                                               {"\U0001F468\u200D\U0001F469\u200D\U0001F467", 1}, // ZWJ family
                                               {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", 2}};  // two flags
    for (const auto& [text, count] : cases)
        EXPECT_EQ(graphemeCount(QString::fromUtf8(text)), count) << text;
}

TEST(HistorySelection, KeepsTheNewestThatFitButNoNoticeOrEmptyReply)
{
    const QString accented = QString::fromUtf8("e\u0301").repeated(3000); // 6000 code units, 3000 characters
    const QList<StoredMessage> everyField{{"user", "first"},
                                          {"assistant", QString("a").repeated(3000), "bb", "c", "d"},
                                          {"app", QString("z").repeated(30000)}, // over any budget if counted
                                          {"user", accented}};
    const struct {
        QList<StoredMessage> messages;
        double initialEstimate;
        int contextLength;
        std::vector<int> kept;
    } cases[] = {
        // Once one is left out, every older one is too.
        {{{"user", "old and short"}, {"user", QString("x").repeated(12300)}, {"user", "newest"}}, 0, 4096, {2}},
        // Exactly the budget is not below it: only the system message goes.
        {{{"user", QString("y").repeated(12288)}}, 0, 4096, {}},
        // Every text field counts, in characters: 100 + 1000 + 1001 (3004 / 3, truncated), "first" brings 2102.
        {everyField, 100, 2102, {1, 3}},
        {everyField, 100, 2103, {0, 1, 3}},
        // Truncated after every message: two thirds of a token each add nothing.
        {QList<StoredMessage>(4, {"user", "ab"}), 10, 11, {0, 1, 2, 3}},
        // Replies that never received anything would reach the model as empty turns.
        {{{"user", "a"},
          {"assistant", ""},
          {"assistant", std::nullopt},
          {"assistant", "", ""},
          {"assistant", std::nullopt, "x"},
          {"user", ""}},
         0,
         4096,
         {0, 4, 5}},
    };
    for (const auto& c : cases) {
        const MessageFixture store(c.messages);
        std::vector<MessagePtr> expected;
        for (int index : c.kept)
            expected.push_back(store.messages()[static_cast<size_t>(index)]);
        EXPECT_EQ(selectHistory(store.messages(), c.initialEstimate, c.contextLength), expected) << &c - cases;
    }
}

TEST(HistorySelection, TheModelAndTheFunctionsSetTheBudget)
{
    MessageFixture store;
    for (int i = 0; i < 10; ++i)
        store.add({"user", QString::number(i).repeated(3000)});
    const QString prompt = QString("p").repeated(300);
    EXPECT_EQ(OpenAiService::makeModelInput("gpt-3.5-turbo", prompt, store.messages(), {}).messages.size(), 4);
    EXPECT_EQ(OpenAiService::makeModelInput("gpt-4-32k", prompt, store.messages(), {}).messages.size(), 11);

    const ApiFunction function{"nnn", QString("d").repeated(297), {}, {}}; // description and name: 100 tokens
    EXPECT_DOUBLE_EQ(initialSizeEstimate(QString("s").repeated(30), {function, function}), 210.0);
}
