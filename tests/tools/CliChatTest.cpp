#include "CliTestSupport.h"

#include "chat/OpenAiService.h"
#include "store/StoreOperations.h"

#include <atomic>

class CliChatTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        Settings::instance().setText(Settings::apiKeyKey, "sk-test");
        assistant = createAssistant(store(), "Ada", "You are terse.", "https://example.com/a.png");
        conversation = createConversation(store(), assistant);
    }

    QString conversationId() const { return conversation->id()->toString(QUuid::WithoutBraces); }
    std::vector<MessagePtr> messages() { return orderedMessages(*conversation); }

    HttpTestServer server;
    AssistantPtr assistant;
    ConversationPtr conversation;
};

TEST_F(CliChatTest, TheReplyStreamsToStandardOutputAndTheConversationContinues)
{
    makeMessage(store(), "user", "Earlier", conversation, std::nullopt, true);
    saveContext(store());
    server.enqueue(sse::reply({"Hel", "lo", "!"}));

    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "Say", "hello"}), 0) << err.toStdString();
    EXPECT_EQ(out, "Hello!\n");
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    ASSERT_EQ(server.requestCount(), 1);
    const QJsonArray sent = sse::sentMessages(server.requests().at(0));
    EXPECT_EQ(sse::sentRoles(server.requests().at(0)), (QStringList{"system", "user", "user"}));
    EXPECT_EQ(sent[0].toObject()["content"], "You are terse.");
    EXPECT_EQ(sent[2].toObject()["content"], "Say hello"); // the words make one prompt

    reopenStore();
    conversation = store().conversationWithId(*conversation->id());
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[2]->content(), "Hello!");
    EXPECT_TRUE(messages()[2]->done());
}

TEST_F(CliChatTest, AConfirmedFunctionRunsAndADeclinedOneDoesNot)
{
    std::atomic<int> runs{0};
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        ++runs;
        return QStringLiteral("listed");
    });

    // Declined: nothing runs, nothing more is sent, and the call waits in the store.
    server.enqueue(sse::functionCall("cliExecution", {"{\"command\":", "\"ls\"}"}));
    answers = {"n"};
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "list files"}), 0) << err.toStdString();
    EXPECT_EQ(questionsAnswered, 1);
    EXPECT_TRUE(err.contains("Run function? [y/N] ")) << err.toStdString();
    EXPECT_TRUE(err.contains("ls")) << "the preview shows the command";
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(messages().back()->functionResult(), std::nullopt);

    // Accepted: runs once, and the result goes back to the model.
    server.enqueue(sse::functionCall("cliExecution", {"{\"command\":\"ls\"}"}));
    server.enqueue(sse::reply({"Two files."}));
    answers = {"Y"};
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "again"}), 0) << err.toStdString();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(out, "Two files.\n");
    ASSERT_EQ(server.requestCount(), 3);
    const QJsonArray last = sse::sentMessages(server.requests().at(2));
    EXPECT_EQ(last.last().toObject()["role"], "function");
    EXPECT_EQ(last.last().toObject()["content"], "listed");

    // --yes asks nothing; without an answer (end of input) nothing would run.
    server.enqueue(sse::functionCall("cliExecution", {"{\"command\":\"pwd\"}"}));
    server.enqueue(sse::reply({"Done."}));
    questionsAnswered = 0;
    ASSERT_EQ(run({"chat", "--yes", "--conversation", conversationId(), "where"}), 0) << err.toStdString();
    EXPECT_EQ(questionsAnswered, 0);
    EXPECT_FALSE(err.contains("Run function?"));
    EXPECT_EQ(runs, 2);
}

TEST_F(CliChatTest, AChainOfAutomaticFunctionCallsEndsWithTheTextAnswer)
{
    std::atomic<int> runs{0};
    setExecutionOverrideForTesting("jsExecution", [&runs](const std::optional<QString>&) {
        return QString::number(++runs);
    });
    server.enqueue(sse::functionCall("jsExecution", {"{\"script\":\"1\"}"}));
    server.enqueue(ScriptedResponse::sse({sse::content("Let me check. "),
                                          sse::chunk({{"function_call", QJsonObject{{"name", "jsExecution"},
                                                                                     {"arguments", "{\"script\":\"2\"}"}}}}),
                                          "data: [DONE]\n\n"}));
    server.enqueue(sse::reply({"Finished"}));

    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "go"}), 0) << err.toStdString();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(out, "Let me check. \nFinished\n");
    EXPECT_EQ(err.count("Function call: Execute javascript (jsExecution)"), 2);
    EXPECT_TRUE(err.contains("Result:\n```\n2\n```\n")) << err.toStdString();
    EXPECT_EQ(server.requestCount(), 3);
}

TEST_F(CliChatTest, AFailedTurnOrUnknownFunctionPrintsOneLineAndExitsOne)
{
    server.enqueue(ScriptedResponse::text(401, "{\"error\":{\"message\":\"bad key\"}}"));
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_EQ(err, OpenAiService::invalidKeyText + "\n");

    server.enqueue(sse::functionCall("formatDisk", {"{}"}));
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_EQ(errLines().size(), 1);
    EXPECT_TRUE(err.contains("formatDisk"));
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(CliChatTest, ACutReplyKeepsWhatWasPrintedAndStored)
{
    ScriptedResponse cut = ScriptedResponse::sse({sse::content("Hel"), sse::content("lo")}, 2);
    cut.drop = true;
    server.enqueue(cut);
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_EQ(out, "Hello\n");
    EXPECT_EQ(errLines().size(), 1);
    reopenStore();
    conversation = store().conversationWithId(*conversation->id());
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[1]->content(), "Hello");
    EXPECT_EQ(messages()[1]->role(), "assistant");
    EXPECT_EQ(messages()[2]->role(), "app");
    EXPECT_EQ(messages()[2]->content().value_or("") + "\n", err);
}

TEST_F(CliChatTest, ANewConversationWithAnAssistantPrintsItsIdFirst)
{
    server.enqueue(sse::reply({"Hi there"}));
    ASSERT_EQ(run({"chat", "--assistant", "Ada", "Hi"}), 0) << err.toStdString();
    const QString id = errLines().value(0);
    const ConversationPtr created = store().conversationWithId(QUuid::fromString(id));
    ASSERT_TRUE(created) << err.toStdString();
    EXPECT_NE(created, conversation);
    EXPECT_EQ(created->assistant(), assistant);
    EXPECT_EQ(orderedMessages(*created).size(), 2u);
}

TEST_F(CliChatTest, RequestsThatCannotBeCarriedOutSendNothing)
{
    const AssistantPtr gone = createAssistant(store(), "Gone", "p", "https://x");
    softDeleteAssistants(store(), {gone});
    const QList<QStringList> refused{
        {"chat", "--conversation", conversationId()},                       // no prompt
        {"chat", "--assistant", "Ada"},                                     // no prompt either
        {"chat", "Hi"},                                                     // no recipient
        {"chat", "--assistant", "Ada", "--conversation", conversationId(), "Hi"},
        {"chat", "--assistant", "Nobody", "Hi"},
        {"chat", "--assistant", "Gone", "Hi"},                              // soft-deleted: not listed
        {"chat", "--conversation", QUuid::createUuid().toString(), "Hi"},
        {"chat", "--conversation", "123", "Hi"},
        {"chat", "--conversation", conversationId(), "--verbose", "Hi"},
    };
    for (const QStringList& arguments : refused) {
        EXPECT_EQ(run(arguments), 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(errLines().size(), 1) << err.toStdString();
    }
    Settings::instance().setText(Settings::apiKeyKey, "");
    EXPECT_EQ(run({"chat", "--assistant", "Ada", "Hi"}), 2);
    EXPECT_TRUE(err.contains("API key")) << err.toStdString();

    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(store().conversations().size(), 1u);
    EXPECT_TRUE(messages().empty());
}
