#include "MainWindowFixture.h"
#include "extensions/ExtensionRegistry.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"

#include <QClipboard>
#include <QGuiApplication>

using namespace sse;

namespace {

// The main window against a test server playing the OpenAI service.
class ChatWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
    }
    void TearDown() override
    {
        setExecutionOverrideForTesting("cliExecution", {});
        qunsetenv("VORBEL_OPENAI_URL");
    }

    // A conversation with "Ada", selected, in an open window.
    QQuickWindow* openConversation()
    {
        conversation = createConversation(store(), createAssistant(store(), "Ada", "Be brief.", QString()));
        uiState().setSelectedConversation(conversation->id());
        return window = open();
    }

    QQuickItem* row(int index) { return item(window, QStringLiteral("message_%1").arg(index)); }
    QString rowText(int index)
    {
        QQuickItem* message = row(index);
        auto* text = message ? message->findChild<QQuickItem*>("messageText") : nullptr;
        return text && text->isVisible() ? text->property("markdown").toString() : QString();
    }
    void submit(const QString& prompt)
    {
        type(window, item(window, "promptField"), prompt);
        QTest::keyClick(window, Qt::Key_Return);
    }

    HttpTestServer server;
    ConversationPtr conversation;
    QQuickWindow* window = nullptr;
};

} // namespace

TEST_F(ChatWindowTest, TheWelcomeCoverStoresTheSettingsOnlyOnceTheServiceAcceptsThem)
{
    Settings& settings = Settings::instance();
    settings.setText(Settings::apiKeyKey, QString());
    settings.setText(Settings::orgKeyKey, "org-earlier");
    server.setHandler([](const RecordedRequest& request) {
        if (request.header("authorization") != "Bearer sk-good")
            return ScriptedResponse::text(401, "{}");
        return ScriptedResponse::text(200, R"({"data":[{"id":"gpt-3.5-turbo-16k"}]})");
    });
    window = open();
    QQuickItem* cover = item(window, "welcomeView");
    ASSERT_TRUE(cover && cover->isVisible());
    EXPECT_EQ(item(window, "orgKeyField")->property("text").toString(), "org-earlier");
    QMetaObject::invokeMethod(item(window, "welcomeModelPicker"), "activated", Q_ARG(int, 1)); // "GPT 3.5 Turbo 16k"

    type(window, item(window, "apiKeyField"), "sk-bad");
    click(window, item(window, "continueButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "invalidCredentialsMessage")->isVisible(); }, 5000));
    EXPECT_TRUE(item(window, "continueErrorMark")->isVisible());
    EXPECT_TRUE(settings.apiKey().isEmpty());
    EXPECT_EQ(settings.model(), "gpt-3.5-turbo"); // nothing stored

    type(window, item(window, "apiKeyField"), "sk-good");
    click(window, item(window, "continueButton"));
    EXPECT_FALSE(item(window, "invalidCredentialsMessage")->isVisible()); // hidden while checking
    EXPECT_FALSE(item(window, "continueErrorMark")->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cover->isVisible(); }, 5000));
    EXPECT_EQ(settings.apiKey(), "sk-good");
    EXPECT_EQ(settings.orgKey(), "org-earlier");
    EXPECT_EQ(settings.model(), "gpt-3.5-turbo-16k");
}

TEST_F(ChatWindowTest, APromptStreamsIntoABubbleAndCopyTakesTheRawText)
{
    ScriptedResponse reply = sse::reply({"**Hel", "lo**", "!", "\n```\nls\n```"});
    reply.pieces.first().first = 300; // "..." shows until the first piece
    reply.pieces[3].first = 300;      // a moment as plain text before the fence
    server.enqueue(reply);
    openConversation();
    QQuickItem* field = item(window, "promptField");
    type(window, field, "a");
    QTest::keyClick(window, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(field->property("text").toString(), "a\n"); // a new line, nothing sent
    EXPECT_EQ(server.requests().size(), 0);

    submit("Hi");
    EXPECT_TRUE(field->property("text").toString().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(1) && row(1)->findChild<QQuickItem*>("messagePlaceholder")->isVisible(); }));
    EXPECT_EQ(rowText(0), "Hi");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(1) == "**Hello**!"; }, 5000));
    // Own bubbles sit on the trailing side, replies on the leading side.
    EXPECT_GT(row(0)->findChild<QQuickItem*>("bubble")->x(), 0);
    EXPECT_EQ(row(1)->findChild<QQuickItem*>("bubble")->x(), 0);
    // The fence switches the reply to the block views in place; no row is made anew.
    QQuickItem* question = row(0);
    QQuickItem* answer = row(1);
    EXPECT_TRUE(answer->findChild<QQuickItem*>("plainText"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(1) == "**Hello**!\n```\nls\n```"; }, 5000));
    EXPECT_EQ(row(0), question);
    EXPECT_EQ(row(1), answer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer->findChild<QQuickItem*>("markdownView"); }));

    QGuiApplication::clipboard()->setText("stale");
    click(window, row(1)->findChild<QQuickItem*>("bubble"), Qt::RightButton);
    QQuickItem* copy = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (copy = item(window, "copyMessageItem")) && copy->isVisible(); }));
    click(window, copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "**Hello**!\n```\nls\n```");
}

TEST_F(ChatWindowTest, ACallNeedingConfirmationRunsOnlyWhenRunFunctionIsPressed)
{
    int runs = 0;
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        ++runs;
        return QString("a.txt");
    });
    server.enqueue(functionCall("cliExecution", {R"({"command":)", R"("ls"})"}));
    server.enqueue(sse::reply({"One file."}));
    openConversation();
    submit("What is here?");
    QQuickItem* run = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (run = item(window, "runFunctionButton")) && run->isVisible(); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(server.requests().size(), 1);

    click(window, run);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(2) == "One file."; }, 5000));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(run->isVisible());
    EXPECT_EQ(item(window, "functionResult")->property("markdown").toString(), "Result:\n```\na.txt\n```");
}

TEST_F(ChatWindowTest, EscapeStopsASlowReplyAndKeepsItsText)
{
    ScriptedResponse slow = ScriptedResponse::sse({content("Once upon")});
    slow.pieces << qMakePair(10000, content(" a time"));
    server.enqueue(slow);
    openConversation();
    submit("Tell a story");
    QQuickItem* stop = item(window, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(1) == "Once upon"; }, 5000));
    EXPECT_TRUE(stop->isVisible());

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(stop->isVisible());
    EXPECT_EQ(rowText(1), "Once upon");
    const MessagePtr reply = orderedMessages(*conversation).back();
    EXPECT_TRUE(reply->done());
    EXPECT_FALSE(store().hasChanges());
}
