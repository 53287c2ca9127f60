#include "core/Settings.h"
#include "chat/ConversationController.h"
#include "chat/OpenAiService.h"
#include "extensions/ExtensionRegistry.h"
#include "store/DataController.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace sse;


class TurnFlowTest : public testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        Settings::instance().setText(Settings::apiKeyKey, "sk-test");
        Settings::instance().setText(Settings::orgKeyKey, "");
        store = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
        assistant = createAssistant(context(), "Ada", "You are terse.", "https://example.com/a.png");
        conversation = createConversation(context(), assistant);
        controller = std::make_unique<ConversationController>(context(), conversation);
    }
    void TearDown() override
    {
        setExecutionOverrideForTesting("jsExecution", {});
        setExecutionOverrideForTesting("cliExecution", {});
        controller.reset();
        qunsetenv("VORBEL_OPENAI_URL");
    }

    StoreContext& context() { return store->viewContext(); }
    std::vector<MessagePtr> messages() { return orderedMessages(*conversation); }
    // Waits until `count` turns have finished in all.
    bool waitForTurns(QSignalSpy& spy, int count)
    {
        while (spy.count() < count) {
            if (!spy.wait(10000))
                return false;
        }
        return true;
    }

    HttpTestServer server;
    QTemporaryDir dir;
    std::unique_ptr<DataController> store;
    AssistantPtr assistant;
    ConversationPtr conversation;
    std::unique_ptr<ConversationController> controller;
};

TEST_F(TurnFlowTest, PromptStreamsIntoReplyWithOneSavePerPiece)
{
    server.enqueue(reply({"Hel", "lo", "!"}));
    QSignalSpy saves(&context(), &StoreContext::saved);
    QSignalSpy finished(controller.get(), &ConversationController::turnFinished);
    controller->submit("Hi");

    // U and an empty A in one save, before anything streamed.
    ASSERT_EQ(saves.count(), 1);
    auto list = messages();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->role(), QString("user"));
    EXPECT_EQ(list[0]->content(), QString("Hi"));
    EXPECT_TRUE(list[0]->done());
    EXPECT_EQ(list[1]->role(), QString("assistant"));
    EXPECT_EQ(list[1]->content(), QString(""));
    EXPECT_FALSE(list[1]->done());

    ASSERT_TRUE(waitForTurns(finished, 1));
    EXPECT_TRUE(finished.at(0).at(1).toBool());
    EXPECT_EQ(list[1]->content(), QString("Hello!"));
    EXPECT_TRUE(list[1]->done());
    EXPECT_EQ(saves.count(), 1 + 3 + 1);

    const QJsonArray sent = sentMessages(server.requests().at(0));
    EXPECT_EQ(sentRoles(server.requests().at(0)), QStringList({"system", "user"}));
    EXPECT_EQ(sent[0].toObject().value("content").toString(), "You are terse.");
    EXPECT_EQ(sent[1].toObject().value("content").toString(), "Hi");

    // Survives a reopen as streamed.
    store = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
    const auto reopened = orderedMessages(*store->viewContext().conversations()[0]);
    EXPECT_EQ(reopened[1]->content(), QString("Hello!"));
}

TEST_F(TurnFlowTest, FailuresBecomeNoticesAndPartialRepliesAreKept)
{
    server.enqueue(ScriptedResponse::text(401, R"({"error":{"message":"bad key"}})"));
    QSignalSpy finished(controller.get(), &ConversationController::turnFinished);
    controller->submit("first");
    ASSERT_TRUE(waitForTurns(finished, 1));
    auto list = messages();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]->role(), QString("app"));
    EXPECT_EQ(list[1]->content(), OpenAiService::invalidKeyText);
    EXPECT_FALSE(list[1]->done());

    // The notice is never sent; a dropped stream keeps what had arrived.
    ScriptedResponse dropped = ScriptedResponse::sse({content("Hel"), content("lo")}, 5);
    dropped.drop = true;
    server.enqueue(dropped);
    controller->submit("second");
    ASSERT_TRUE(waitForTurns(finished, 2));
    EXPECT_FALSE(finished.at(1).at(1).toBool());
    EXPECT_EQ(sentRoles(server.requests().at(1)), QStringList({"system", "user", "user"}));

    list = messages();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[3]->role(), QString("assistant"));
    EXPECT_EQ(list[3]->content(), QString("Hello"));
    EXPECT_FALSE(list[3]->done());
    EXPECT_EQ(list[4]->role(), QString("app"));
    EXPECT_EQ(list[4]->content(), OpenAiService::genericErrorText);
}

TEST_F(TurnFlowTest, AutomaticFunctionCallsChainUntilText)
{
    int runs = 0;
    setExecutionOverrideForTesting("jsExecution", [&runs](const std::optional<QString>& arguments) {
        ++runs;
        return QStringLiteral("result %1 of %2").arg(runs).arg(arguments.value_or("none"));
    });
    server.enqueue(functionCall("jsExecution", {"{\"script\":", "\"1+1\"}"}));
    server.enqueue(functionCall("jsExecution", {"{\"script\":\"2\"}"}));
    server.enqueue(functionCall("jsExecution", {"{\"script\":\"3\"}"}));
    server.enqueue(reply({"Done."}));
    QSignalSpy finished(controller.get(), &ConversationController::turnFinished);
    controller->submit("compute");
    ASSERT_TRUE(waitForTurns(finished, 4));
    ASSERT_TRUE(server.waitForRequests(4));
    EXPECT_EQ(runs, 3);

    const auto list = messages();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[1]->functionName(), QString("jsExecution"));
    EXPECT_EQ(list[1]->functionArguments(), QString("{\"script\":\"1+1\"}"));
    EXPECT_EQ(list[1]->functionResult(), QString("result 1 of {\"script\":\"1+1\"}"));
    EXPECT_EQ(list[4]->content(), QString("Done."));

    // The second request ends with the call and its result, with no new user message.
    const QJsonArray second = sentMessages(server.requests().at(1));
    EXPECT_EQ(sentRoles(server.requests().at(1)), QStringList({"system", "user", "assistant", "function"}));
    EXPECT_EQ(second[2].toObject().value("function_call").toObject().value("name").toString(), "jsExecution");
    EXPECT_EQ(second[3].toObject().value("name").toString(), "jsExecution");
    EXPECT_EQ(second[3].toObject().value("content").toString(), "result 1 of {\"script\":\"1+1\"}");
    EXPECT_EQ(sentRoles(server.requests().at(3)),
              QStringList({"system", "user", "assistant", "function", "assistant", "function", "assistant", "function"}));
}

TEST_F(TurnFlowTest, ConfirmationWaitsAndNewPromptSendsBareCall)
{
    int runs = 0;
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        ++runs;
        return QStringLiteral("ran");
    });
    server.enqueue(functionCall("cliExecution", {"{\"command\":\"ls\"}"}));
    server.enqueue(reply({"ok"}));
    QSignalSpy finished(controller.get(), &ConversationController::turnFinished);
    controller->submit("list files");
    ASSERT_TRUE(waitForTurns(finished, 1));
    const MessagePtr call = messages()[1];
    EXPECT_TRUE(controller->awaitsConfirmation(*call));
    EXPECT_FALSE(controller->shouldRunAutomatically(*call));
    QTest::qWait(100);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(server.requestCount(), 1);

    controller->submit("never mind");
    ASSERT_TRUE(waitForTurns(finished, 2));
    const QJsonArray sent = sentMessages(server.requests().at(1));
    EXPECT_EQ(sentRoles(server.requests().at(1)), QStringList({"system", "user", "assistant", "user"}));
    EXPECT_TRUE(sent[2].toObject().contains("function_call"));
    EXPECT_EQ(runs, 0);
}

TEST_F(TurnFlowTest, ReopenedControllerRunsPendingCallOnlyWithoutConfirmation)
{
    int jsRuns = 0;
    int cliRuns = 0;
    setExecutionOverrideForTesting("jsExecution", [&jsRuns](const std::optional<QString>&) { return QString::number(++jsRuns); });
    setExecutionOverrideForTesting("cliExecution", [&cliRuns](const std::optional<QString>&) { return QString::number(++cliRuns); });
    for (const char* name : {"cliExecution", "jsExecution"}) {
        MessagePtr call = makeMessage(context(), "assistant", "", conversation, QString(name), true);
        call->setFunctionArguments(QString("{}"));
    }
    saveContext(context());
    server.enqueue(reply({"after"}));

    ConversationController reopened(context(), conversation);
    QSignalSpy finished(&reopened, &ConversationController::turnFinished);
    reopened.runPendingFunctions();
    ASSERT_TRUE(waitForTurns(finished, 1));
    EXPECT_EQ(jsRuns, 1);
    EXPECT_EQ(cliRuns, 0);
    reopened.runPendingFunctions(); // already answered: nothing runs twice
    QTest::qWait(50);
    EXPECT_EQ(jsRuns, 1);
}

TEST_F(TurnFlowTest, TwoTurnsStreamAtOnceIntoTheirOwnMessages)
{
    // Each request gets its own reply, slow enough for the two to overlap.
    server.setHandler([](const RecordedRequest& request) {
        const QString prompt = sentMessages(request).last().toObject().value("content").toString();
        QList<QByteArray> events;
        for (int i = 0; i < 5; ++i)
            events << content(prompt + QString::number(i));
        events << "data: [DONE]\n\n";
        return ScriptedResponse::sse(events, 20);
    });
    QSignalSpy finished(controller.get(), &ConversationController::turnFinished);
    controller->submit("a");
    controller->submit("b");
    EXPECT_EQ(controller->runningTurns(), 2);
    ASSERT_TRUE(waitForTurns(finished, 2));
    const auto list = messages();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1]->content(), QString("a0a1a2a3a4"));
    EXPECT_EQ(list[3]->content(), QString("b0b1b2b3b4"));
    // The second request carries the first turn's reply as it stood (still empty),
    // never its own. The two requests may reach the server in either order.
    const auto requests = server.requests();
    const auto second = std::find_if(requests.begin(), requests.end(), [](const RecordedRequest& r) {
        return sentMessages(r).last().toObject().value("content").toString() == "b";
    });
    ASSERT_NE(second, requests.end());
    EXPECT_EQ(sentRoles(*second), QStringList({"system", "user", "assistant", "user"}));
}

TEST_F(TurnFlowTest, EmptyPromptAndNoAssistantStillMakeATurn)
{
    ConversationPtr bare = createConversation(context(), nullptr);
    ConversationController plain(context(), bare);
    server.enqueue(reply({"?"}));
    QSignalSpy finished(&plain, &ConversationController::turnFinished);
    plain.submit("");
    ASSERT_TRUE(waitForTurns(finished, 1));
    const QJsonArray sent = sentMessages(server.requests().at(0));
    EXPECT_EQ(sentRoles(server.requests().at(0)), QStringList({"system", "user"}));
    EXPECT_EQ(sent[0].toObject().value("content").toString(), "");
    EXPECT_EQ(sent[1].toObject().value("content").toString(), "");
}

TEST_F(TurnFlowTest, DeletingStopsTheStreamAfterTellingTheWindow)
{
    server.enqueue(ScriptedResponse::sse({content("a"), content("b"), content("c"), "data: [DONE]\n\n"}, 200));
    controller->submit("long");
    ASSERT_TRUE(server.waitForRequests(1));
    bool toldFirst = false;
    controller->deleteConversation([&] { toldFirst = !conversation->isDeleted(); });
    EXPECT_TRUE(toldFirst);
    EXPECT_TRUE(conversation->isDeleted());
    EXPECT_EQ(controller->runningTurns(), 0);
    QTest::qWait(300);
    EXPECT_TRUE(context().conversations().empty());
    EXPECT_FALSE(context().hasChanges());
    // A window still holding the controller cannot start turns on it.
    controller->submit("late");
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(context().hasChanges());
}
