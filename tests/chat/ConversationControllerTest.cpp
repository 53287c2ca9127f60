#include "TurnFlowFixture.h"
#include "chat/OpenAiService.h"

#include <QScopeGuard>
#include <QSemaphore>

TEST_F(TurnFlowTest, PromptStreamsIntoReplyWithOneSavePerPiece)
{
    server.enqueue(reply({"Hel", "lo", "!"}));
    QSignalSpy saves(&context(), &StoreContext::saved);
    controller->submit("Hi");

    // The prompt and an empty reply in one save, before anything streamed.
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(summary(), QStringList({"user Hi (done)", "assistant "}));
    ASSERT_TRUE(waitForTurns(1));
    EXPECT_TRUE(finished->at(0).at(1).toBool());
    EXPECT_EQ(summary(), QStringList({"user Hi (done)", "assistant Hello! (done)"}));
    EXPECT_EQ(saves.count(), 1 + 3 + 1);
    EXPECT_EQ(sentMessages(server.requests().at(0)),
              QJsonArray({QJsonObject{{"role", "system"}, {"content", "You are terse."}},
                          QJsonObject{{"role", "user"}, {"content", "Hi"}}}));
}

TEST_F(TurnFlowTest, FailuresBecomeNoticesAndOnlyWhatArrivedIsSentLater)
{
    const auto droppedAfter = [](const QList<QByteArray>& events) {
        ScriptedResponse response = ScriptedResponse::sse(events, 5);
        response.drop = true;
        return response;
    };
    const ScriptedResponse responses[] = {
        ScriptedResponse::text(401, "{}"),
        // A reply that had begun is kept as it stands; the notice follows it.
        droppedAfter({content("Hel"), content("lo")}),
        // Every reply opens with an empty content: nothing had arrived yet.
        droppedAfter({chunk({{"role", "assistant"}, {"content", ""}})}),
    };
    for (const ScriptedResponse& response : responses) {
        server.enqueue(response);
        controller->submit("P");
        ASSERT_TRUE(waitForTurns(int(&response - responses) + 1));
        EXPECT_FALSE(finished->last().at(1).toBool());
    }
    const QString generic = "app " + OpenAiService::genericErrorText;
    EXPECT_EQ(summary(), QStringList({"user P (done)", "app " + OpenAiService::invalidKeyText, "user P (done)",
                                      "assistant Hello", generic, "user P (done)", generic}));

    // An empty reply left by an interrupted run is no more sent than the notices.
    makeMessage(context(), "assistant", "", conversation, std::nullopt, false);
    server.enqueue(reply({"ok"}));
    controller->submit("last");
    ASSERT_TRUE(waitForTurns(4));
    EXPECT_EQ(sentRoles(server.requests().at(3)), QStringList({"system", "user", "user", "assistant", "user", "user"}));
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
    server.enqueue(reply({"Done."}));
    controller->submit("compute");
    ASSERT_TRUE(waitForTurns(3));
    EXPECT_EQ(runs, 2);
    ASSERT_EQ(messages().size(), 4u);
    EXPECT_EQ(summary().last(), "assistant Done. (done)");

    // The next request ends with the call and its result, with no new user message.
    const QJsonArray second = sentMessages(server.requests().at(1));
    EXPECT_EQ(sentRoles(server.requests().at(1)), QStringList({"system", "user", "assistant", "function"}));
    EXPECT_EQ(second[2].toObject()["function_call"],
              QJsonObject({{"name", "jsExecution"}, {"arguments", "{\"script\":\"1+1\"}"}}));
    EXPECT_EQ(
        second[3],
        QJsonObject({{"role", "function"}, {"name", "jsExecution"}, {"content", "result 1 of {\"script\":\"1+1\"}"}}));
    EXPECT_EQ(sentRoles(server.requests().at(2)),
              QStringList({"system", "user", "assistant", "function", "assistant", "function"}));
}

TEST_F(TurnFlowTest, CallsNeedingConfirmationWaitAlsoAfterAReopenWhileOthersRun)
{
    QStringList ran;
    for (const QString name : {"jsExecution", "cliExecution"})
        setExecutionOverrideForTesting(name, [&ran, name](const std::optional<QString>&) {
            ran << name;
            return QStringLiteral("ran");
        });
    offerShell();
    server.enqueue(functionCall("cliExecution", {"{\"command\":\"ls\"}"}));
    server.enqueue(reply({"ok"}));
    controller->submit("list files");
    ASSERT_TRUE(waitForTurns(1));
    const MessagePtr call = messages()[1];
    EXPECT_TRUE(controller->awaitsConfirmation(*call));
    EXPECT_FALSE(controller->shouldRunAutomatically(*call) || controller->hasFunctionRun(*call));

    // A new prompt instead sends it as a bare call.
    controller->submit("never mind");
    ASSERT_TRUE(waitForTurns(2));
    EXPECT_EQ(sentRoles(server.requests().at(1)), QStringList({"system", "user", "assistant", "user"}));
    EXPECT_TRUE(sentMessages(server.requests().at(1))[2].toObject().contains("function_call"));

    // After a restart only what is offered now may run: with the shell off, its call is unknown.
    ConversationController reopened(context(), conversation);
    Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), false);
    EXPECT_FALSE(reopened.awaitsConfirmation(*call) || reopened.offeredFunction(*call));

    // Reopened after a restart during a run: only the call without confirmation runs, once.
    makeMessage(context(), "assistant", "", conversation, QString("jsExecution"), true)->setFunctionArguments("{}");
    server.enqueue(reply({"after"}));
    QSignalSpy started(&reopened, &ConversationController::functionStarted);
    QSignalSpy finished(&reopened, &ConversationController::turnFinished);
    reopened.runPendingFunctions();
    ASSERT_TRUE(finished.wait(10000));
    reopened.runPendingFunctions();
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(ran, QStringList{"jsExecution"});
}

TEST_F(TurnFlowTest, TwoTurnsStreamAtOnceIntoTheirOwnMessages)
{
    // Each request gets its own reply, slow enough for the two to overlap.
    server.setHandler([](const RecordedRequest& request) {
        const QString prompt = sentMessages(request).last().toObject().value("content").toString();
        QList<QByteArray> events;
        for (int i = 0; i < 5; ++i)
            events << content(prompt + QString::number(i));
        events << done;
        return ScriptedResponse::sse(events, 20);
    });
    controller->submit("a");
    controller->submit("b");
    EXPECT_EQ(controller->runningTurns(), 2);
    ASSERT_TRUE(waitForTurns(2));
    EXPECT_EQ(summary(), QStringList({"user a (done)", "assistant a0a1a2a3a4 (done)", "user b (done)",
                                      "assistant b0b1b2b3b4 (done)"}));
    // Neither request carries a reply, as none had received anything yet; they may arrive in either order.
    QStringList requests{sentRoles(server.requests().at(0)).join(' '), sentRoles(server.requests().at(1)).join(' ')};
    requests.sort();
    EXPECT_EQ(requests, QStringList({"system user", "system user user"}));
}

TEST_F(TurnFlowTest, EmptyPromptAndNoAssistantStillMakeATurn)
{
    ConversationController plain(context(), createConversation(context(), nullptr));
    server.enqueue(reply({"?"}));
    QSignalSpy finished(&plain, &ConversationController::turnFinished);
    plain.submit("");
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(sentMessages(server.requests().at(0)), QJsonArray({QJsonObject{{"role", "system"}, {"content", ""}},
                                                                 QJsonObject{{"role", "user"}, {"content", ""}}}));
}

TEST_F(TurnFlowTest, NothingHappensForADeletedConversation)
{
    auto gate = std::make_shared<QSemaphore>();
    const auto openGate = qScopeGuard([gate] { gate->release(100); });
    setExecutionOverrideForTesting("jsExecution", [gate](const std::optional<QString>&) {
        gate->acquire();
        return QStringLiteral("r");
    });

    // The first answer waits at the gate until its conversation is gone.
    server.setHandler([gate](const RecordedRequest&) {
        gate->acquire();
        return functionCall("jsExecution", {"{}"}, 0);
    });
    QSignalSpy started(controller.get(), &ConversationController::functionStarted);
    controller->submit("go");
    const MessagePtr reply = messages()[1];
    ASSERT_TRUE(server.waitForRequests(1));
    bool toldFirst = false;
    controller->deleteConversation([&] { toldFirst = !conversation->isDeleted(); });
    EXPECT_TRUE(toldFirst);
    EXPECT_EQ(controller->runningTurns(), 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(reply->functionName() || reply->done());
    EXPECT_EQ(finished->count() + started.count(), 0);
    // A window still holding the controller cannot start turns or runs on it.
    controller->submit("late");
    controller->runPendingFunctions();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(context().hasChanges());

    // Deleted elsewhere while its function runs: the result starts nothing. The
    // held answer goes out now, to a reply stopped long ago, and so does the next.
    gate->release(2);
    ConversationPtr other = createConversation(context(), assistant);
    ConversationController second(context(), other);
    QSignalSpy secondStarted(&second, &ConversationController::functionStarted);
    QSignalSpy answered(&second, &ConversationController::functionFinished);
    second.submit("go");
    ASSERT_TRUE(secondStarted.wait(10000));
    const MessagePtr call = orderedMessages(*other)[1];
    deleteConversation(context(), other);
    gate->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return call->functionResult().has_value(); }, 10000));
    EXPECT_EQ(answered.count() + finished->count() + started.count(), 0);
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_FALSE(context().hasChanges());
}

// Stopping keeps what arrived as a finished reply, leaves no empty one, and never runs half a call.
TEST_F(TurnFlowTest, StoppingKeepsWhatArrivedAndNeverRunsACutCall)
{
    bool ran = false;
    setExecutionOverrideForTesting("jsExecution", [&ran](const std::optional<QString>&) {
        ran = true;
        return QString("2");
    });
    const QByteArray never = content("never sent");
    const struct {
        const char* name;
        QList<QByteArray> events; // sent at once; then the reply hangs
        std::function<bool(const Message&)> arrived;
        QStringList expected; // the conversation after the stop
    } cases[] = {
        {"text",
         {content("Hel"), content("lo")},
         [](const Message& m) { return m.content() == "Hello"; },
         {"user Hi (done)", "assistant Hello (done)"}},
        {"nothing yet", {content("")}, nullptr, {"user Hi (done)"}},
        // Thinking alone is kept; as it has no answer it is never sent back.
        {"thinking",
         {thinking("Hmm")},
         [](const Message& m) { return m.reasoning() == "Hmm"; },
         {"user Hi (done)", "assistant  (done)"}},
        {"a function call",
         {chunk({{"function_call", QJsonObject{{"name", "jsExecution"}, {"arguments", "{\"co"}}}})},
         [](const Message& m) { return m.functionArguments() == "{\"co"; },
         {"user Hi (done)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const MessagePtr& m : messages())
            context().deleteMessage(m);
        saveChanges(context());
        ScriptedResponse slow = ScriptedResponse::sse(c.events, 0);
        slow.pieces << qMakePair(10000, never);
        server.enqueue(slow);
        QSignalSpy running(controller.get(), &ConversationController::runningTurnsChanged);
        controller->submit("Hi");
        const MessagePtr reply = messages().back();
        if (c.arrived)
            ASSERT_TRUE(QTest::qWaitFor([&] { return c.arrived(*reply); }, 5000));
        else
            QTest::qWait(200); // an empty first piece shows nowhere
        controller->stopStreaming();
        EXPECT_EQ(controller->runningTurns(), 0);
        EXPECT_EQ(running.count(), 2); // started, stopped
        QTest::qWait(50);
        EXPECT_EQ(summary(), c.expected);
        EXPECT_FALSE(context().hasChanges());
        EXPECT_EQ(DataController(dir.path() + "/Vorbel.sqlite")
                      .storeContext()
                      .conversationWithId(*conversation->id())
                      ->messages()
                      .size(),
                  size_t(c.expected.size())); // the removal is stored too
    }
    EXPECT_FALSE(ran);
}

// Regenerate (after a reply with a function call) and Retry (after a failure)
// send the same history again; the old turn is gone from the file. Edit and
// resend deletes from the edited message on; the first prompt names the conversation.
TEST_F(TurnFlowTest, RegenerateRetryAndResubmitDeleteTheOldTurnAndSendAgain)
{
    setExecutionOverrideForTesting("jsExecution", [](const std::optional<QString>&) { return QStringLiteral("2"); });
    server.enqueue(functionCall("jsExecution", {"{\"script\":\"1+1\"}"}));
    server.enqueue(reply({"Two."}));
    controller->submit("\n  What is one plus one?  \nThanks");
    ASSERT_TRUE(waitForTurns(2));
    EXPECT_EQ(conversation->title(), "What is one plus one?");
    ASSERT_EQ(messages().size(), 3u);
    const QString stored = store->databasePath();
    const auto rowsInFile = [&stored] {
        DataController reader(stored);
        const auto c = reader.storeContext().conversations();
        return c.empty() ? -1 : int(c.front()->messages().size());
    };
    server.enqueue(ScriptedResponse::text(500, "{}"));
    EXPECT_TRUE(controller->regenerate());
    EXPECT_FALSE(controller->canRegenerate()); // streaming
    ASSERT_TRUE(waitForTurns(3));
    EXPECT_EQ(summary(), QStringList({"user \n  What is one plus one?  \nThanks (done)",
                                      "app " + OpenAiService::genericErrorText}));
    server.enqueue(reply({"Two!"}));
    EXPECT_TRUE(controller->regenerate()); // the Retry of the failure notice
    ASSERT_TRUE(waitForTurns(4));
    EXPECT_EQ(summary().last(), "assistant Two! (done)");
    EXPECT_EQ(rowsInFile(), 2);
    for (int request = 2; request < 4; ++request)
        EXPECT_EQ(sentMessages(server.requests().at(request)), sentMessages(server.requests().at(0)));

    server.enqueue(reply({"Three."}));
    EXPECT_FALSE(controller->resubmit(messages().back(), "not mine"));
    EXPECT_TRUE(controller->resubmit(messages().front(), "What is one plus two?"));
    ASSERT_TRUE(waitForTurns(5));
    EXPECT_EQ(summary(), QStringList({"user What is one plus two? (done)", "assistant Three. (done)"}));
    EXPECT_EQ(rowsInFile(), 2);
    EXPECT_EQ(sentRoles(server.requests().at(4)), QStringList({"system", "user"}));
    EXPECT_EQ(conversation->title(), "What is one plus one?"); // a given title stays
}
