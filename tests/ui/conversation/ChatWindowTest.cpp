#include "MainWindowFixture.h"
#include "extensions/ExtensionRegistry.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"
#include "support/ModelTester.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>

using namespace Sse;

namespace {

// The main window against a test server playing the OpenAI service.
class ChatWindowTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        setExecutionOverrideForTesting("cliExecution", {});
        MainWindowTest::TearDown();
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
        // What the bubble's rows show, which follow the row's text.
        auto* text = row(index) ? row(index)->findChild<QQuickItem*>("messageText") : nullptr;
        QQuickItem* rows = nullptr;
        for (const char* view : {"plainTextView", "markdownView"})
            if (text && !rows)
                rows = text->findChild<QQuickItem*>(view);
        return text && text->isVisible() && rows ? rows->property("text").toString() : QString();
    }
    void submit(const QString& prompt)
    {
        type(window, item(window, "promptField"), prompt);
        QTest::keyClick(window, Qt::Key_Return);
    }

    ConversationPtr conversation;
    QQuickWindow* window = nullptr;
};

} // namespace

// A rejected key and one without the model differ; a non-http address sends nothing; only success stores.
TEST_F(ChatWindowTest, TheWelcomeCoverStoresTheSettingsOnlyOnceTheServiceAcceptsThem)
{
    Settings& settings = Settings::instance();
    settings.setText(Settings::apiKeyKey, QString());
    settings.setText(Settings::orgKeyKey, "org-earlier");
    server.setHandler([](const RecordedRequest& request) {
        if (request.header("authorization") != "Bearer sk-good")
            return ScriptedResponse::text(401, "{}");
        return ScriptedResponse::text(
            200, R"({"data":[{"id":"gpt-4o"},{"id":"text-embedding-3-small"},{"id":"gpt-3.5-turbo-16k"}]})");
    });
    window = open();
    QQuickItem* cover = item(window, "welcomeView");
    ASSERT_TRUE(cover && cover->isVisible());
    EXPECT_EQ(item(window, "orgKeyField")->property("text").toString(), "org-earlier");
    QQuickItem* message = item(window, "invalidCredentialsMessage");
    const auto submitUntilRejected = [&](const QString& key, const QString& expected) {
        type(window, item(window, "apiKeyField"), key);
        click(window, item(window, "continueButton"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return message->isVisible(); }, 5000)) << key.toStdString();
        EXPECT_EQ(message->property("text").toString(), expected);
        EXPECT_TRUE(item(window, "continueErrorMark")->isVisible());
        EXPECT_TRUE(settings.apiKey().isEmpty()); // nothing stored
        EXPECT_FALSE(settings.storedText(Settings::modelKey) || settings.storedText(Settings::openAiBaseUrlKey));
    };
    const QString notVerified = "The provided credentials could not be verified.";
    submitUntilRejected("sk-bad", notVerified);
    EXPECT_FALSE(cover->property("expanded").toBool());
    submitUntilRejected("sk-good", "This key works, but gpt-3.5-turbo is not available to it. "
                                   "Choose another model under Advanced.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "welcomeServerAddressField")->isVisible(); })); // opened
    // The picker now offers the key's chat models as well.
    QQuickItem* picker = item(window, "welcomeModelPicker");
    EXPECT_EQ(picker->property("model").toStringList(),
              QStringList({"GPT 3.5 Turbo", "GPT 3.5 Turbo 16k", "GPT 4", "GPT 4 32k", "gpt-4o"}));
    EXPECT_EQ(picker->property("currentText").toString(), "GPT 3.5 Turbo");
    const int sent = server.requestCount();
    type(window, item(window, "welcomeServerAddressField"), "ftp://example.com");
    EXPECT_TRUE(item(window, "welcomeServerAddressNote")->isVisible());
    submitUntilRejected("sk-good", "Enter an address that starts with http:// or https://.");
    EXPECT_EQ(server.requestCount(), sent);                                           // the key went nowhere
    type(window, item(window, "welcomeServerAddressField"), "http://127.0.0.1:1/v1"); // VORBEL_OPENAI_URL still wins
    QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, 4));
    EXPECT_EQ(picker->property("currentText").toString(), "gpt-4o");
    click(window, item(window, "continueButton"));
    EXPECT_FALSE(message->isVisible()); // hidden while checking
    EXPECT_FALSE(item(window, "continueErrorMark")->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cover->isVisible(); }, 5000));
    EXPECT_EQ(settings.apiKey(), "sk-good");
    EXPECT_EQ(settings.orgKey(), "org-earlier");
    EXPECT_EQ(settings.model(), "gpt-4o");
    EXPECT_EQ(settings.storedText(Settings::openAiBaseUrlKey), "http://127.0.0.1:1/v1");
}

// A local server without keys: the cover owns the keyboard, says what failed, leaves on
// acceptance, and no request carries an Authorization header.
TEST_F(ChatWindowTest, AKeylessServerIsSetUpFromTheCoverAndNeverGetsAKey)
{
    qunsetenv("VORBEL_OPENAI_URL");
    Settings::instance().setText(Settings::apiKeyKey, QString());
    const int startUp = server.requestCount(); // the fixture's, with its key
    server.setHandler([](const RecordedRequest& request) {
        if (request.path.endsWith("/models"))
            return ScriptedResponse::text(200, R"({"data":[{"id":"gpt-3.5-turbo"}]})");
        return Sse::reply({"Hello"});
    });
    openConversation();
    QQuickItem* cover = item(window, "welcomeView");
    ASSERT_TRUE(cover->isVisible());
    QQuickItem* keyField = item(window, "apiKeyField");
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyField->hasActiveFocus(); }));
    click(window, item(window, "advancedButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "welcomeServerAddressField")->isVisible(); }));
    // The window's shortcuts do nothing under the cover.
    QTest::keyClick(window, Qt::Key_Delete);
    QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(uiState().selectedConversation(), conversation->id());
    QQuickItem* message = item(window, "invalidCredentialsMessage");
    const struct {
        QString address, expected;
    } failures[] = {
        {"ftp://example.com", "Enter an address that starts with http:// or https://."},
        {HttpTestServer::refusedUrl().toString(), "Vorbel could not reach 127.0.0.1."},
    };
    for (const auto& failure : failures) {
        type(window, item(window, "welcomeServerAddressField"), failure.address);
        keyField->forceActiveFocus();
        QTest::keyClick(window, Qt::Key_Return); // presses "Continue"
        ASSERT_TRUE(QTest::qWaitFor([&] { return message->isVisible(); }, 5000));
        EXPECT_EQ(message->property("text").toString(), failure.expected);
    }
    type(window, item(window, "welcomeServerAddressField"), server.baseUrl().toString());
    click(window, item(window, "continueButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cover->isVisible(); }, 5000));
    EXPECT_FALSE(item(window, "continueSpinner")->isVisible());
    submit("Hi");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(1) == "Hello"; }, 5000));
    for (const RecordedRequest& request : server.requests().mid(startUp))
        EXPECT_FALSE(request.hasHeader("authorization")) << request.path.constData();
}

TEST_F(ChatWindowTest, APromptStreamsIntoABubbleAndCopyTakesTheRawText)
{
    ScriptedResponse reply = Sse::reply({"**Hel", "lo**", "!", "\n```\nls\n```"});
    reply.pieces.first().first = 300; // "..." shows until the first piece
    reply.pieces[3].first = 300;      // a moment as plain text before the fence
    server.enqueue(reply);
    openConversation();
    QQuickItem* field = item(window, "promptField");
    type(window, field, "a");
    QTest::keyClick(window, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(field->property("text").toString(), "a\n"); // a new line, nothing sent
    EXPECT_EQ(server.requestCount(), 1);                  // the start-up read of the model list only
    submit("Hi");
    EXPECT_TRUE(field->property("text").toString().isEmpty());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return row(1) && row(1)->findChild<QQuickItem*>("messagePlaceholder")->isVisible(); }));
    EXPECT_EQ(rowText(0), "Hi");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(1) == "**Hello**!"; }, 5000));
    // Own bubbles sit on the trailing side, replies on the leading side.
    EXPECT_GT(row(0)->findChild<QQuickItem*>("bubble")->x(), 0);
    EXPECT_EQ(row(1)->findChild<QQuickItem*>("bubble")->x(), 0);
    // The fence switches the reply to the block views in place; no row is made anew.
    QQuickItem *question = row(0), *answer = row(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !itemsIn(answer, "plainText").isEmpty(); })); // made for the next frame
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
    // A selection in a code block copies with Ctrl+C; Shift+F10 opens the message's menu.
    click(window, item(window, "codeText"));
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "ls");
    QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return item(window, "copyMessageItem")->isVisible(); }));
}

// Text typed and not sent stays with its conversation; the prompt's page keys scroll the messages.
TEST_F(ChatWindowTest, DraftsStayWithTheirConversationAndPageKeysScrollFromThePrompt)
{
    createConversation(store(), nullptr);
    conversation = createConversation(store(), nullptr);
    for (int i = 0; i < 40; ++i)
        makeMessage(store(), i % 2 ? "assistant" : "user", QStringLiteral("Line %1").arg(i), conversation, std::nullopt,
                    true);
    saveChanges(store());
    uiState().setSelectedConversation(conversation->id());
    window = open();
    QQuickItem* field = item(window, "promptField");
    const auto clickRowAndType = [&](int row, const QString& before, const char* text) {
        click(window, item(window, QStringLiteral("conversationRow_%1").arg(row)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasActiveFocus(); }));
        EXPECT_EQ(field->property("text").toString(), before);
        keyClicks(window, text);
    };
    clickRowAndType(0, "", "for the first");
    clickRowAndType(1, "", "for the other");
    clickRowAndType(0, "for the first", "");
    // A screen reader reads where the caret stands in the prompt.
    QAccessibleInterface* prompt = QAccessible::queryAccessibleInterface(field);
    ASSERT_TRUE(prompt && prompt->textInterface());
    field->setProperty("cursorPosition", 4);
    EXPECT_EQ(prompt->textInterface()->cursorPosition(), 4);
    EXPECT_EQ(prompt->textInterface()->characterCount(), QStringLiteral("for the first").size());
    QQuickItem* list = item(window, "messageList");
    const auto contentY = [&] { return list->property("contentY").toDouble(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return contentY() > list->height(); })); // the newest in view
    const double newest = contentY();
    QTest::keyClick(window, Qt::Key_PageUp);
    EXPECT_LT(contentY(), newest);
    // Bubbles scrolled out of view are used again for the rows coming in: each shows its own message.
    const auto expectEachBubbleShowsItsOwnMessage = [&] {
        settle(window);
        int shown = 0;
        for (int i = 0; i < 40; ++i) {
            if (row(i) && row(i)->isVisible()) {
                ++shown;
                EXPECT_EQ(rowText(i), QStringLiteral("Line %1").arg(i));
            }
        }
        EXPECT_GT(shown, 3);
    };
    expectEachBubbleShowsItsOwnMessage();
    QTest::keyClick(window, Qt::Key_Home, Qt::ControlModifier);
    const double first = contentY();
    EXPECT_LE(first, list->property("originY").toDouble());
    expectEachBubbleShowsItsOwnMessage();
    QTest::keyClick(window, Qt::Key_PageDown);
    EXPECT_GT(contentY(), first);
    QTest::keyClick(window, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return contentY() >= newest; }));
    EXPECT_EQ(server.requestCount(), 1);
}

// Pieces that come in one turn are announced once, as a change of the text; the
// view stays at the end and makes only the reply's rows near it.
TEST_F(ChatWindowTest, ALongReplyStreamsInRowsAtTheFollowedEnd)
{
    conversation = createConversation(store(), nullptr);
    for (int i = 0; i < 20; ++i)
        makeMessage(store(), i % 2 ? "assistant" : "user", QStringLiteral("Line %1").arg(i), conversation, std::nullopt,
                    true);
    // Past what a screen reader is given, which then stays as it is.
    MessagePtr reply =
        makeMessage(store(), "assistant", QStringLiteral("Start. ").repeated(200), conversation, std::nullopt, false);
    saveChanges(store());
    uiState().setSelectedConversation(conversation->id());
    window = open();
    QQuickItem* list = item(window, "messageList");
    auto* messages = list->property("model").value<QAbstractItemModel*>();
    ASSERT_TRUE(messages && QTest::qWaitFor([&] { return row(20) && list->property("atYEnd").toBool(); }));
    const QHash<int, QByteArray> names = messages->roleNames();
    for (int burst = 0; burst < 3; ++burst) {
        QSignalSpy changes(messages, &QAbstractItemModel::dataChanged);
        if (burst == 0) { // the first change of a row names every role
            reply->appendContent(QStringLiteral(" "));
            ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() > 0; }));
            changes.clear();
        }
        for (int piece = 0; piece < 1000; ++piece) {
            reply->appendContent(piece % 10 == 9 ? QStringLiteral("end.\n\n") : QStringLiteral("word "));
            saveChanges(store());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() > 0; }));
        window->grabWindow();
        ASSERT_EQ(changes.count(), 1);
        QStringList roles;
        for (const int role : changes.front().at(2).value<QList<int>>())
            roles << QString::fromLatin1(names.value(role));
        roles.sort();
        EXPECT_EQ(roles, QStringList({"content", "display", "text"}));
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->property("atYEnd").toBool(); }));
    }
    const QList<QQuickItem*> made = itemsIn(row(20), "plainText");
    EXPECT_EQ(itemsIn(row(20), "plainRow").size(), 300);
    EXPECT_LT(made.size(), 150);
    EXPECT_TRUE(std::any_of(made.begin(), made.end(), [](QQuickItem* text) { return text->isVisible(); }));
}

TEST_F(ChatWindowTest, ACallNeedingConfirmationRunsOnlyWhenRunFunctionIsPressed)
{
    int runs = 0;
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        ++runs;
        return QString("a.txt\n```\n# not a heading");
    });
    Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), true);
    server.enqueue(functionCall("cliExecution", {R"({"command":)", R"("ls"})"}));
    server.enqueue(Sse::reply({"One file."}));
    openConversation();
    submit("What is here?");
    QQuickItem* run = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (run = item(window, "runFunctionButton")) && run->isVisible(); }, 5000));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(server.requestCount(), 2); // and one chat request
    EXPECT_EQ(item(window, "functionCommand")->property("text").toString(), "ls");
    click(window, run);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowText(2) == "One file."; }, 5000));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(run->isVisible());
    // The result cannot close its fence and pass for Markdown of the app's own.
    EXPECT_EQ(item(window, "functionResult")->property("markdown").toString(),
              "Result:\n````\na.txt\n```\n# not a heading\n````");
}

// A command that ignores SIGTERM still ends (SIGKILL follows); the model hears of the stop
// only with the user's next prompt.
TEST_F(ChatWindowTest, AStoppedShellCommandEndsAndWaitsForTheNextPrompt)
{
    QTemporaryDir folder;
    const QString pidFile = folder.filePath("pid");
    Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), true);
    server.enqueue(functionCall(
        "cliExecution", {QString(R"({"command":"trap '' TERM; echo $$ > %1; for i in $(seq 300); do sleep 0.1; done"})")
                             .arg(pidFile)}));
    openConversation();
    submit("Loop");
    QQuickItem* run = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (run = item(window, "runFunctionButton")) && run->isVisible(); }, 5000));
    click(window, run);
    QFile file(pidFile);
    ASSERT_TRUE(QTest::qWaitFor([&] { return file.size() > 0; }, 5000));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    EXPECT_TRUE(item(window, "stopButton")->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QQuickItem* result = item(window, "functionResult");
            return result && result->property("markdown").toString().contains("Stopped by the user");
        },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return kill(pid, 0) != 0; }, 5000));
    EXPECT_FALSE(item(window, "stopButton")->isVisible()); // no turn started
    EXPECT_EQ(server.requestCount(), 2);
    server.enqueue(Sse::reply({"Stopped, then."}));
    submit("What happened?");
    ASSERT_TRUE(server.waitForRequests(3));
    EXPECT_TRUE(QJsonDocument(sentMessages(server.requests().at(2))).toJson().contains("Stopped by the user"));
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
}

// The first prompt titles the row; F2 or "Rename…" edits it in place (Return
// stores, Escape cancels, empty brings back the automatic title); the search
// field (Ctrl+F) keeps the hits, each with its snippet, until Escape.
TEST_F(ChatWindowTest, TitlesRenameAndSearchInTheSidebar)
{
    createConversation(store(), createAssistant(store(), "Bob", "p", QString()));
    server.enqueue(Sse::reply({"Use action verbs."}));
    openConversation();
    submit("Plan my resume");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !store().hasChanges() && orderedMessages(*conversation).back()->done(); }, 5000));
    QQuickItem* first = item(window, "conversationRow_0");
    EXPECT_EQ(first->property("text").toString(), "Plan my resume");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(first)->text(QAccessible::Name), "Plan my resume");
    EXPECT_TRUE(first->findChild<QQuickItem*>("profileSubHeadline")->property("text").toString().startsWith("Ada · "));
    EXPECT_EQ(item(window, "conversationRow_1")->property("text").toString(), "Bob");

    QQuickItem* search = item(window, "searchField");
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, "promptField")->hasActiveFocus(); }));
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->hasActiveFocus(); }));
    for (const char* key : {"a", "c", "t", "i", "o"})
        QTest::keyClick(window, *key);
    auto* list = qobject_cast<QQuickItem*>(find(window, "conversationList"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->property("count").toInt() == 1; }, 5000));
    EXPECT_EQ(
        item(window, "conversationRow_0")->findChild<QQuickItem*>("profileSubHeadline")->property("text").toString(),
        "Use <b>action</b> verbs.");
    click(window, item(window, "conversationRow_0"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return row(1) && row(1)->property("revealed").toBool(); }));
    ASSERT_FALSE(itemsIn(row(1), "plainText").isEmpty());
    EXPECT_EQ(itemsIn(row(1), "plainText").front()->property("selectedText").toString(), "action");
    search->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(search->property("text").toString().isEmpty());
    EXPECT_EQ(list->property("count").toInt(), 2);

    const auto renameTo = [&](const QString& title, Qt::Key key, bool fromMenu) {
        if (fromMenu) {
            click(window, item(window, "conversationRow_0"), Qt::RightButton);
            QQuickItem* menuItem = nullptr;
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return (menuItem = item(window, "renameMenuItem")) && menuItem->window(); }));
            click(window, menuItem);
        } else {
            click(window, item(window, "conversationRow_0"));
            QTest::keyClick(window, Qt::Key_F2);
        }
        QQuickItem* field = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (field = item(window, "renameField")) && field->hasActiveFocus(); }));
        type(window, field, title);
        QTest::keyClick(window, key);
    };
    const struct {
        QString typed;
        Qt::Key key;
        bool fromMenu;
        QString title;
    } renames[] = {
        {"CV", Qt::Key_Return, false, "CV"},
        {"Other", Qt::Key_Escape, true, "CV"},
        {"", Qt::Key_Return, true, "Plan my resume"},
    };
    for (const auto& r : renames) {
        renameTo(r.typed, r.key, r.fromMenu);
        EXPECT_EQ(conversation->title(), r.title) << r.typed.toStdString();
        EXPECT_EQ(item(window, "conversationRow_0")->property("text").toString(), r.title);
    }
    EXPECT_FALSE(store().hasChanges());
}

// Regenerate and Retry send the same history again and leave no old reply in
// the file; an edit changes nothing until Return, then replaces the turn.
TEST_F(ChatWindowTest, RegenerateRetryAndEditAndResend)
{
    server.enqueue(Sse::reply({"Hello."}));
    server.enqueue(ScriptedResponse::text(500, "{}"));
    server.enqueue(Sse::reply({"Hello again."}));
    server.enqueue(Sse::reply({"Hey there."}));
    openConversation();
    submit("Hi");
    const auto storedContents = [] {
        DataController reader(DataController::defaultDatabasePath());
        QStringList contents;
        for (const MessagePtr& m : orderedMessages(*reader.storeContext().conversations().front()))
            contents << m->content().value_or(QString());
        return contents;
    };
    for (const char* expected : {"I'm sorry", "Hello again."}) {
        QQuickItem* button = nullptr;
        // The rows follow the store a turn of the event loop later, and the label with them.
        const QString label = QString(expected) == "I'm sorry" ? "Regenerate" : "Retry";
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return (button = item(window, "regenerateButton")) && button->isVisible()
                    && QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name) == label;
            },
            5000));
        click(window, button);
        ASSERT_TRUE(QTest::qWaitFor([&] { return storedContents().value(1).startsWith(expected); }, 5000));
        EXPECT_EQ(storedContents().size(), 2);
    }
    for (int request = 2; request <= 3; ++request)
        EXPECT_EQ(sentMessages(server.requests().at(request)), sentMessages(server.requests().at(1)));

    QQuickItem* field = item(window, "promptField");
    // Editing waits for the reply to end.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QQuickItem* button = item(window, "regenerateButton");
            return button && button->isVisible();
        },
        5000));
    field->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(field->property("text").toString(), "Hi");
    EXPECT_TRUE(item(window, "editingBar")->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(item(window, "editingBar")->isVisible());
    EXPECT_TRUE(field->property("text").toString().isEmpty());
    EXPECT_EQ(storedContents(), QStringList({"Hi", "Hello again."}));
    QTest::keyClick(window, Qt::Key_Up);
    type(window, field, "Hey");
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return storedContents() == QStringList({"Hey", "Hey there."}); }, 5000));
    EXPECT_EQ(sentRoles(server.requests().at(4)), QStringList({"system", "user"}));
}

// Both export formats are byte for byte what `vorbel-cli show` prints, in an
// owner-only file; a failure is shown and leaves nothing behind.
TEST_F(ChatWindowTest, ExportAndCopyMatchTheCommandLine)
{
    openConversation();
    makeMessage(store(), "user", "What is 1+1?", conversation, std::nullopt, true);
    const MessagePtr call = makeMessage(store(), "assistant", "", conversation, QString("jsExecution"), true);
    call->setFunctionArguments("{\"script\":\"1+1\"}");
    call->setFunctionResult("2");
    makeMessage(store(), "assistant", "It is 2.", conversation, std::nullopt, true);
    saveChanges(store());
    QObject* controller = window->property("controller").value<QObject*>();
    QTemporaryDir exports;
    const QString id = conversation->id()->toString(QUuid::WithoutBraces);
    for (const QString& name : {QString("a.md"), QString("a.json")}) {
        bool written = false;
        QMetaObject::invokeMethod(controller, "exportConversationTo", Q_RETURN_ARG(bool, written),
                                  Q_ARG(QString, exports.filePath(name)));
        ASSERT_TRUE(written);
        QProcess cli;
        cli.start(VORBEL_CLI_PATH,
                  name.endsWith(".json") ? QStringList{"show", "--json", id} : QStringList{"show", id});
        ASSERT_TRUE(cli.waitForFinished(30000));
        QFile file(exports.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), cli.readAllStandardOutput()) << name.toStdString();
        EXPECT_EQ(file.permissions() & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
        if (name.endsWith(".md")) {
            QMetaObject::invokeMethod(find(window, "copyConversationAction"), "trigger");
            EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(), (file.seek(0), file.readAll()));
        }
    }
    ASSERT_TRUE(QDir(exports.path()).mkdir("taken"));
    bool written = true;
    QMetaObject::invokeMethod(controller, "exportConversationTo", Q_RETURN_ARG(bool, written),
                              Q_ARG(QString, exports.filePath("taken")));
    EXPECT_FALSE(written);
    EXPECT_TRUE(item(window, "exportErrorBar")->isVisible());
    EXPECT_EQ(QDir(exports.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList({"a.json", "a.md"}));
}
