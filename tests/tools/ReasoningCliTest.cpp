#include "CliTestSupport.h"

using namespace Sse;

static ScriptedResponse thoughtReply(const QString& thought, const QString& answer)
{
    return ScriptedResponse::sse({thinking(thought), content(answer), chunk({}, "stop"), usage(3, 7, 5), done});
}

TEST_F(CliChatTest, ThinkingGoesToStandardErrorDimmedOnATerminalTheAnswerToStandardOutput)
{
    Settings::instance().setText(Settings::modelKey, "deepseek-r1");
    server.enqueue(thoughtReply("Two and\x1b[31m two.", "Four."));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "2+2?"}), 0) << err.toStdString();
    EXPECT_EQ(out, "Four.\n");
    EXPECT_EQ(err, "Two and\\u001b[31m two.\n");

    // Dimming wraps the escaped text; unopened inline thinking, already printed as answer, is not printed again.
    errorIsTerminal = true;
    server.enqueue(reply({"Six", ".</think>", "Six."}));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "3+3?"}), 0) << err.toStdString();
    EXPECT_EQ(std::tuple(out, err), std::tuple(QString("SixSix.\n"), QString("\x1b[2m.\x1b[22m\n")));
    server.enqueue(thoughtReply("Hmm\x1b[0m", "Ten."));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "5+5?"}), 0) << err.toStdString();
    EXPECT_EQ(err, "\x1b[2mHmm\\u001b[0m\x1b[22m\n");
}

TEST_F(CliChatTest, ShowGivesTheThinkingAndTheCounts)
{
    Settings::instance().setText(Settings::modelKey, "deepseek-r1");
    server.enqueue(thoughtReply("Two and two.\n</details><script>x</script>", "Four."));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "2+2?"}), 0) << err.toStdString();

    ASSERT_EQ(run({"show", conversationId()}), 0);
    EXPECT_TRUE(out.endsWith("## Assistant\n\n<details><summary>Thinking</summary>\n\n"
                             "Two and two.\n&lt;/details>&lt;script>x&lt;/script>\n\n</details>\n\nFour.\n"))
        << out.toStdString();

    ASSERT_EQ(run({"show", "--json", conversationId()}), 0);
    const QJsonObject reply = QJsonDocument::fromJson(out.toUtf8()).array().at(1).toObject();
    EXPECT_EQ(QList({reply["reasoning"], reply["promptTokens"], reply["completionTokens"], reply["reasoningTokens"]}),
              QList<QJsonValue>({"Two and two.\n</details><script>x</script>", 3, 7, 5}));
    EXPECT_TRUE(reply["thinkingMs"].isDouble() && reply["replyMs"].isDouble());
}
