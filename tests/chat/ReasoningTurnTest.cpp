#include "TurnFlowFixture.h"

// A local reasoning model: field and inline thinking is stored apart with the counts and
// never sent back, and counts against the reply's text limit.
TEST_F(TurnFlowTest, ReasoningModelOnALocalServer)
{
    qunsetenv("VORBEL_OPENAI_URL");
    Settings::instance().setText(Settings::openAiBaseUrlKey, server.baseUrl().toString() + "/v1/");
    Settings::instance().setText(Settings::modelKey, "deepseek-r1");
    server.enqueue(ScriptedResponse::sse({thinking("Two and "), thinking("two.", "reasoning"), content("Four."),
                                          chunk({}, "stop"), usage(12, 34, 20), done}));
    server.enqueue(reply({"<thi", "nk>\nSix, ", "surely</th", "ink>\n\nSix."}));
    const QString mebibyte(1024 * 1024, QLatin1Char('t'));
    server.enqueue(ScriptedResponse::sse(
        {thinking(mebibyte), thinking(mebibyte), thinking(mebibyte), thinking(mebibyte), thinking("over"), done}));
    const QStringList prompts{"2+2?", "3+3?", "Think hard"};
    for (const QString& prompt : prompts) {
        controller->submit(prompt);
        ASSERT_TRUE(waitForTurns(int(prompts.indexOf(prompt)) + 1));
    }

    EXPECT_EQ(QJsonDocument::fromJson(server.requests().at(0).body)["stream_options"],
              QJsonObject({{"include_usage", true}}));
    QStringList answers;
    for (const QJsonValue message : sentMessages(server.requests().at(2)))
        answers << message["content"].toString();
    EXPECT_EQ(answers, QStringList({"You are terse.", "2+2?", "Four.", "3+3?", "Six.", "Think hard"}));

    // What the file holds, read anew.
    DataController reopened(dir.path() + "/Vorbel.sqlite");
    const std::vector<MessagePtr> stored =
        orderedMessages(*reopened.storeContext().conversationWithId(*conversation->id()));
    ASSERT_EQ(stored.size(), 7u);
    const Message& first = *stored[1];
    EXPECT_EQ(std::tuple(first.reasoning(), first.content()), std::tuple(QString("Two and two."), QString("Four.")));
    EXPECT_EQ(std::tuple(first.promptTokens(), first.completionTokens(), first.reasoningTokens()),
              std::tuple(qint64(12), qint64(34), qint64(20)));
    ASSERT_TRUE(first.thinkingMs() && first.replyMs());
    EXPECT_LE(*first.thinkingMs(), *first.replyMs());
    EXPECT_EQ(std::tuple(stored[3]->reasoning(), stored[3]->content()),
              std::tuple(QString("Six, surely"), QString("Six.")));
    EXPECT_EQ(stored[5]->reasoning()->size(), ConversationController::replyTextLimit);
    EXPECT_EQ(stored[6]->role(), "app");
}
