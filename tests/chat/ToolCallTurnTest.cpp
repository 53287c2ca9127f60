#include "TurnFlowFixture.h"
#include "chat/OpenAiService.h"
#include "openai/AccountModels.h"

#include <QMutex>

namespace {

QJsonObject jsonOf(const QByteArray& body) { return QJsonDocument::fromJson(body).object(); }

QJsonArray offeredTools(const QStringList& names)
{
    QJsonArray tools;
    for (const QString& name : names)
        tools.append(QJsonObject{{"type", "function"}, {"function", findFunction(name)->apiDefinition.toJson()}});
    return tools;
}

// The assistant's call and the tool's answer as the follow-up request must carry them.
QJsonArray callAndAnswer(const Message& message, const QString& arguments, const QString& result)
{
    const QString id = "call_" + QString::number(message.primaryKey());
    const QJsonObject function{{"name", *message.functionName()}, {"arguments", arguments}};
    return {
        QJsonObject{{"role", "assistant"},
                    {"content", ""},
                    {"tool_calls", QJsonArray{QJsonObject{{"id", id}, {"type", "function"}, {"function", function}}}}},
        QJsonObject{{"role", "tool"}, {"tool_call_id", id}, {"content", result}}};
}

} // namespace

// A current model on OpenAI's server: the tools form, one call at a time, run
// through the real JavaScript function, answered under the same id.
TEST_F(TurnFlowTest, ToolsFormRoundTripOnOpenAiServer)
{
    Settings::instance().setText(Settings::modelKey, "gpt-4o");
    server.enqueue(toolCalls({{"jsExecution", {"{\"script\":", "\"6*7\"}"}}}));
    server.enqueue(reply({"It is 42."}));
    controller->submit("6*7?");
    ASSERT_TRUE(waitForTurns(2));

    const QJsonObject first = jsonOf(server.requests().at(0).body);
    EXPECT_FALSE(first.contains("functions"));
    EXPECT_EQ(first["tools"].toArray(), offeredTools({"jsExecution"}));
    EXPECT_EQ(first["parallel_tool_calls"], QJsonValue(false));

    const MessagePtr call = messages()[1];
    EXPECT_EQ(call->functionResult(), QString("42"));
    EXPECT_EQ(messages().back()->content(), QString("It is 42."));
    QJsonArray expected{QJsonObject{{"role", "system"}, {"content", "You are terse."}},
                        QJsonObject{{"role", "user"}, {"content", "6*7?"}}};
    for (const QJsonValue message : callAndAnswer(*call, "{\"script\":\"6*7\"}", "42"))
        expected.append(message);
    EXPECT_EQ(sentMessages(server.requests().at(1)), expected);
}

// A reply asking for several calls at once: none is dropped, each runs after
// the one before has ended, a call needing confirmation holds the rest, and
// the model is asked again once, with every call and its answer in order.
TEST_F(TurnFlowTest, SeveralCallsOfOneReplyRunOneAfterAnother)
{
    Settings::instance().setText(Settings::modelKey, "gpt-4o");
    QMutex lock;
    QStringList steps;
    for (const QString name : {"jsExecution", "cliExecution"}) {
        setExecutionOverrideForTesting(name, [&, name](const std::optional<QString>& arguments) {
            {
                QMutexLocker locker(&lock);
                steps << "start " + arguments.value_or("");
            }
            QThread::msleep(30);
            QMutexLocker locker(&lock);
            steps << "end " + arguments.value_or("");
            return name + " ran";
        });
    }
    offerShell();
    QSignalSpy confirmation(controller.get(), &ConversationController::confirmationNeeded);
    server.enqueue(toolCalls({{"jsExecution", {"{\"script\":\"1\"}"}}, {"jsExecution", {"{\"sc", "ript\":\"2\"}"}}}));
    server.enqueue(toolCalls({{"jsExecution", {"{\"script\":\"3\"}"}}, {"cliExecution", {"{\"command\":\"ls\"}"}}}));
    server.enqueue(reply({"Done."}));
    controller->submit("go");
    ASSERT_TRUE(waitForTurns(2));

    ASSERT_TRUE(confirmation.wait(10000));
    const MessagePtr waiting = confirmation.at(0).at(0).value<MessagePtr>();
    EXPECT_EQ(waiting->functionName(), QString("cliExecution"));
    QTest::qWait(50);
    EXPECT_EQ(server.requestCount(), 2) << "asked again before every call of the reply was answered";
    controller->runFunction(waiting);
    ASSERT_TRUE(waitForTurns(3));

    EXPECT_EQ(steps, QStringList({"start {\"script\":\"1\"}", "end {\"script\":\"1\"}", "start {\"script\":\"2\"}",
                                  "end {\"script\":\"2\"}", "start {\"script\":\"3\"}", "end {\"script\":\"3\"}",
                                  "start ls", "end ls"})); // a confirmed call runs the text shown
    ASSERT_EQ(server.requestCount(), 3);
    const std::vector<MessagePtr> stored = messages();
    ASSERT_EQ(stored.size(), 6u);
    const QJsonArray second = sentMessages(server.requests().at(1));
    EXPECT_EQ(second.size(), 2 + 4);
    EXPECT_EQ(second[2], callAndAnswer(*stored[1], "{\"script\":\"1\"}", "jsExecution ran")[0]);
    EXPECT_EQ(second[3], callAndAnswer(*stored[1], "{\"script\":\"1\"}", "jsExecution ran")[1]);
    EXPECT_EQ(second[4], callAndAnswer(*stored[2], "{\"script\":\"2\"}", "jsExecution ran")[0]);
    EXPECT_EQ(second[5], callAndAnswer(*stored[2], "{\"script\":\"2\"}", "jsExecution ran")[1]);
    EXPECT_EQ(sentRoles(server.requests().at(2)), QStringList({"system", "user", "assistant", "tool", "assistant",
                                                               "tool", "assistant", "tool", "assistant", "tool"}));
    EXPECT_EQ(stored.back()->content(), QString("Done."));
}

// A model server of the user's own at a stored address: its model list and
// context lengths, the tools form (it refuses "functions"), and a prompt that
// alone exceeds the context, which becomes a notice instead of a request.
TEST_F(TurnFlowTest, LocalServerAtTheStoredAddress)
{
    qunsetenv("VORBEL_OPENAI_URL");
    Settings::instance().setText(Settings::openAiBaseUrlKey, server.baseUrl().toString() + "/v1/");
    Settings::instance().setText(Settings::modelKey, "qwen-local");
    std::atomic<int> chats{0};
    server.setHandler([&chats](const RecordedRequest& request) {
        if (request.method == "GET" && request.path == "/v1/models")
            return ScriptedResponse::text(200, R"({"object":"list","data":[
                {"id":"qwen-local","object":"model","max_model_len":1000},
                {"id":"llama-local","object":"model","meta":{"n_ctx_train":8192}}]})");
        if (request.path != "/v1/chat/completions" || request.body.contains("\"functions\""))
            return ScriptedResponse::text(400, R"({"error":"unsupported"})");
        return ++chats == 1 ? toolCalls({{"jsExecution", {"{\"script\":\"2+2\"}"}}}) : reply({"Four."});
    });
    AccountModels& account = AccountModels::instance();
    QSignalSpy listed(&account, &AccountModels::refreshFinished);
    account.refresh();
    ASSERT_TRUE(listed.wait(10000));
    EXPECT_FALSE(account.fromOpenAiServer());
    EXPECT_EQ(account.models(), QList<ServerModel>({{"qwen-local", 1000}, {"llama-local", 8192}}));

    // About 500 tokens each: a budget of 1000 takes the newest only, 4096 would take all.
    for (int i = 0; i < 4; ++i)
        makeMessage(context(), i % 2 ? "assistant" : "user", QString("x").repeated(1500), conversation, std::nullopt,
                    true);
    controller->submit("2+2?");
    ASSERT_TRUE(waitForTurns(2));
    const RecordedRequest first = server.requests().at(1);
    EXPECT_EQ(first.header("Authorization"), "Bearer sk-test");
    EXPECT_EQ(sentRoles(first), QStringList({"system", "assistant", "user"}));
    EXPECT_EQ(jsonOf(first.body)["tools"].toArray(), offeredTools({"jsExecution"}));
    EXPECT_FALSE(jsonOf(first.body).contains("parallel_tool_calls"));
    EXPECT_EQ(sentRoles(server.requests().at(2)).mid(2), QStringList({"user", "assistant", "tool"}));
    EXPECT_EQ(messages().back()->content(), QString("Four."));

    const int requests = server.requestCount();
    controller->submit(QString("y").repeated(3100));
    ASSERT_TRUE(waitForTurns(3));
    EXPECT_EQ(server.requestCount(), requests);
    EXPECT_EQ(messages().back()->role(), QString("app"));
    EXPECT_EQ(messages().back()->content(),
              "This message is too long for the context of qwen-local (1,000 tokens). Please shorten it, or choose "
              "a model with a longer context.");
}
