#include "CliTestSupport.h"

#include "chat/OpenAiService.h"

#include <atomic>

// The model list is read before each turn, so the history is cut to the
// length the server reports for the model.
TEST_F(CliChatTest, TheReplyStreamsAndTheHistoryFitsTheContextTheServerReports)
{
    Settings::instance().setText(Settings::modelKey, "local-model");
    const QString earlier(15000, 'x'); // beyond 4096 estimated tokens, within 100000
    makeMessage(store(), "user", earlier, conversation, std::nullopt, true);
    saveChanges(store());

    // Not listed: 4096 tokens, so the earlier message is left out.
    server.enqueue(Sse::reply({"Hel", "lo", "!"}));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "Say", "hello"}), 0) << err.toStdString();
    EXPECT_EQ(out, "Hello!\n");
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(Sse::sentRoles(server.requests().at(0)), (QStringList{"system", "user"}));

    server.setModelList(R"({"data":[{"id":"local-model","context_length":100000}]})");
    server.enqueue(Sse::reply({"Again."}));
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "Again"}), 0) << err.toStdString();
    EXPECT_EQ(server.modelListRequestCount(), 2); // once per run
    EXPECT_EQ(Sse::sentRoles(server.requests().at(1)), (QStringList{"system", "user", "user", "assistant", "user"}));
    EXPECT_EQ(Sse::sentMessages(server.requests().at(1))[1].toObject()["content"], earlier);

    // --regenerate sends the same history again, in place of the old reply.
    server.enqueue(Sse::reply({"Once more."}));
    ASSERT_EQ(run({"chat", "--regenerate", "--conversation", conversationId()}), 0) << err.toStdString();
    EXPECT_EQ(out, "Once more.\n");
    EXPECT_EQ(Sse::sentMessages(server.requests().at(2)), Sse::sentMessages(server.requests().at(1)));
    reopenStore();
    const auto stored = orderedMessages(*store().conversations().front());
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored.back()->content(), "Once more.");
    EXPECT_EQ(stored[3]->content(), "Again");
}

TEST_F(CliChatTest, AConfirmedFunctionRunsAndADeclinedOneDoesNot)
{
    std::atomic<int> runs{0};
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        ++runs;
        return QStringLiteral("listed");
    });

    // Declined: nothing runs, nothing more is sent, and the call waits in the store.
    server.enqueue(Sse::functionCall("cliExecution", {"{\"command\":", "\"ls\"}"}));
    answers = {"n"};
    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "list files"}), 0) << err.toStdString();
    EXPECT_EQ(questionsAnswered, 1);
    EXPECT_TRUE(err.contains("ls")) << "the preview shows the command";
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(messages().back()->functionResult(), std::nullopt);

    // --yes asks nothing; without an answer (end of input) nothing would run.
    server.enqueue(Sse::functionCall("cliExecution", {"{\"command\":\"pwd\"}"}));
    server.enqueue(Sse::reply({"Done."}));
    questionsAnswered = 0;
    ASSERT_EQ(run({"chat", "--yes", "--conversation", conversationId(), "where"}), 0) << err.toStdString();
    EXPECT_EQ(questionsAnswered, 0);
    EXPECT_FALSE(err.contains("Run function?"));
    EXPECT_EQ(runs, 1);
}

// Calls run one at a time in the order asked, across replies and within one
// reply that asks for several; only the one that needs it asks first.
TEST_F(CliChatTest, FunctionCallsRunInTurnUntilTheTextAnswer)
{
    QStringList runs;
    setExecutionOverrideForTesting("jsExecution", [&runs](const std::optional<QString>& arguments) {
        runs << *arguments;
        return QString::number(runs.size());
    });
    setExecutionOverrideForTesting("cliExecution", [&runs](const std::optional<QString>&) {
        runs << "cli";
        return QStringLiteral("listed");
    });
    server.enqueue(ScriptedResponse::sse(
        {Sse::content("Let me check. "),
         Sse::chunk({{"function_call", QJsonObject{{"name", "jsExecution"}, {"arguments", "{\"script\":\"1\"}"}}}}),
         Sse::done}));
    server.enqueue(
        Sse::toolCalls({{"jsExecution", {"{\"script\":", "\"2\"}"}}, {"cliExecution", {"{\"command\":\"ls\"}"}}}));
    server.enqueue(Sse::reply({"Finished"}));
    answers = {"Y"};

    ASSERT_EQ(run({"chat", "--conversation", conversationId(), "go"}), 0) << err.toStdString();
    EXPECT_EQ(runs, (QStringList{"{\"script\":\"1\"}", "{\"script\":\"2\"}", "cli"}));
    EXPECT_EQ(questionsAnswered, 1);
    EXPECT_EQ(out, "Let me check. \nFinished\n");
    EXPECT_EQ(err.count("Function call: Execute javascript (jsExecution)"), 2) << err.toStdString();
    // The later call is shown, and asked about, after the result before it.
    const qsizetype secondResult = err.indexOf("Result:\n```\n2\n```\n");
    EXPECT_GE(secondResult, 0) << err.toStdString();
    EXPECT_LT(secondResult, err.indexOf("(cliExecution)"));
    EXPECT_LT(err.indexOf("(cliExecution)"), err.indexOf("Run function? [y/N] "));
    ASSERT_EQ(server.requestCount(), 3);
    EXPECT_EQ(Sse::sentMessages(server.requests().at(2)).last().toObject()["content"], "listed");
}

TEST_F(CliChatTest, AFailedTurnOrUnknownFunctionPrintsOneLineExitsOneAndKeepsWhatArrived)
{
    ScriptedResponse cut = ScriptedResponse::sse({Sse::content("Hel"), Sse::content("lo")}, 2);
    cut.drop = true;
    server.enqueue(cut);
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_EQ(out, "Hello\n");
    EXPECT_EQ(errLines().size(), 1);
    reopenStore();
    conversation = store().conversationWithId(*conversation->id());
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[1]->content(), "Hello");
    EXPECT_EQ(messages()[2]->content().value_or("") + "\n", err); // the notice

    server.enqueue(ScriptedResponse::text(401, "{\"error\":{\"message\":\"bad key\"}}"));
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    EXPECT_EQ(err, OpenAiService::invalidKeyText + "\n");

    server.enqueue(Sse::functionCall("formatDisk", {"{}"}));
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_EQ(errLines().size(), 1);
    EXPECT_TRUE(err.contains("formatDisk"));
    EXPECT_EQ(server.requestCount(), 3);

    // The reply's other calls still run, and the run waits for them.
    std::atomic<int> runs{0};
    setExecutionOverrideForTesting("jsExecution",
                                   [&runs](const std::optional<QString>&) { return QString::number(++runs); });
    server.enqueue(Sse::toolCalls({{"formatDisk", {"{}"}}, {"jsExecution", {"{\"script\":\"1\"}"}}}));
    server.enqueue(Sse::reply({"Done."}));
    EXPECT_EQ(run({"chat", "--conversation", conversationId(), "Hi"}), 1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(out, "Done.\n");
    EXPECT_EQ(server.requestCount(), 5);
}

TEST_F(CliChatTest, RequestsThatCannotBeCarriedOutSendNothing)
{
    const AssistantPtr gone = createAssistant(store(), "Gone", "p", "https://x");
    softDeleteAssistants(store(), {gone});
    const QList<QStringList> refused{
        {"chat", "--conversation", conversationId()}, // no prompt
        {"chat", "--assistant", "Ada"},               // no prompt either
        {"chat", "Hi"},                               // no recipient
        {"chat", "--assistant", "Ada", "--conversation", conversationId(), "Hi"},
        {"chat", "--assistant", "Nobody", "Hi"},
        {"chat", "--assistant", "Gone", "Hi"}, // soft-deleted: not listed
        {"chat", "--conversation", QUuid::createUuid().toString(), "Hi"},
        {"chat", "--conversation", "123", "Hi"},
        {"chat", "--conversation", conversationId(), "--verbose", "Hi"},
        {"chat", "--regenerate", "--conversation", conversationId()}, // no reply to ask for again
        {"chat", "--regenerate", "--conversation", conversationId(), "Hi"},
        {"chat", "--regenerate", "--assistant", "Ada"},
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
