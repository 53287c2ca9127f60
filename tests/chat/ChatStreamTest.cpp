#include "support/OpenAiServerTest.h"
#include "MessageFixture.h"
#include "ReplyRecorder.h"

#include "chat/ActiveStreams.h"
#include "extensions/ExtensionRegistry.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

QByteArray chunk(const QByteArray& delta, const QByteArray& finish = "null")
{
    return "data: {\"id\":\"c\",\"object\":\"chat.completion.chunk\",\"choices\":[{\"index\":0,\"delta\":" + delta
        + ",\"finish_reason\":" + finish + "}]}\n\n";
}

const QByteArray done = "data: [DONE]\n\n";
const QString invalidKey = "Unfortunately, your API key appears to be invalid. Please check it in Vorbel's settings.";
const QString generic = "I'm sorry, but some sort of error happened. Please try re-submitting your message.";

class ChatStream : public OpenAiServerTest {
protected:
    void SetUp() override
    {
        OpenAiServerTest::SetUp();
        for (const CustomExtension& extension : allExtensions())
            Settings::instance().remove(Settings::extensionEnabledKey(extension.id));
        storeCredentials("sk-test", "");
    }
    void TearDown() override
    {
        EXPECT_EQ(activeStreams().size(), 0);
        OpenAiServerTest::TearDown();
    }
};

} // namespace

TEST_F(ChatStream, RequestCarriesTheHistoryFunctionsAndHeaders)
{
    server.enqueue(ScriptedResponse::sse({done}));
    server.enqueue(ScriptedResponse::sse({done}));
    MessageFixture store;
    store.add("user", QString("What is 6*7?"));
    store.add("assistant", QString(), QString("jsExecution"), QString("{\"code\":\"6*7\"}"), QString("42"));
    store.add("assistant", QString("It is 42."), QString(""), std::nullopt, std::nullopt);
    store.add("app", QString("I'm sorry, but some sort of error happened. Please try re-submitting your message."));
    store.add("user", QString("Thanks"));

    auto reply = ReplyRecorder::make();
    const QUuid id = reply->send("You are terse.", store.messages());
    ASSERT_TRUE(reply->waitForEnd());
    EXPECT_EQ(reply->stops(), 1);
    EXPECT_FALSE(activeStreams().contains(id));

    ASSERT_EQ(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/chat/completions");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer sk-test");
    EXPECT_FALSE(request.hasHeader("OpenAI-Organization"));
    EXPECT_EQ(request.header("Accept"), "text/event-stream");
    EXPECT_FALSE(request.body.contains("\": ") || request.body.contains('\n')) << "not compact";

    QJsonObject expected = jsonOf(R"({"stream":true,"model":"gpt-3.5-turbo","messages":[
        {"role":"system","content":"You are terse."},
        {"role":"user","content":"What is 6*7?"},
        {"role":"assistant","content":"","function_call":{"name":"jsExecution","arguments":"{\"code\":\"6*7\"}"}},
        {"role":"function","content":"42","name":"jsExecution"},
        {"role":"assistant","content":"It is 42."},
        {"role":"user","content":"Thanks"}]})");
    // Nothing stored: exactly the JavaScript function is offered.
    expected.insert("functions", QJsonArray{findFunction(QStringLiteral("jsExecution"))->apiDefinition.toJson()});
    EXPECT_EQ(jsonOf(request.body), expected);

    // A stored organisation goes along unchanged.
    storeCredentials("sk-test", "org-Team 1");
    auto second = ReplyRecorder::make();
    second->send("You are terse.");
    ASSERT_TRUE(second->waitForEnd());
    EXPECT_EQ(server.requests().at(1).header("OpenAI-Organization"), "org-Team 1");
}

TEST_F(ChatStream, NoFunctionsUnknownModelAndTheHistoryCut)
{
    server.enqueue(ScriptedResponse::sse({done}));
    server.enqueue(ScriptedResponse::sse({done}));
    for (const CustomExtension& extension : allExtensions())
        Settings::instance().setBool(Settings::extensionEnabledKey(extension.id), false);
    Settings::instance().setText(Settings::modelKey, "local-model-7b");
    MessageFixture store;
    for (int i = 0; i < 10; ++i)
        store.add(i % 2 ? "assistant" : "user", QString::number(i).repeated(3000));

    auto reply = ReplyRecorder::make();
    reply->send(QString("s").repeated(300), store.messages());
    ASSERT_TRUE(reply->waitForEnd());
    const QJsonObject body = jsonOf(server.requests().at(0).body);
    EXPECT_FALSE(body.contains("functions"));
    EXPECT_EQ(body["model"].toString(), "local-model-7b");
    const QJsonArray messages = body["messages"].toArray();
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0].toObject()["role"].toString(), "system");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(messages[i + 1].toObject()["content"].toString(), QString::number(7 + i).repeated(3000));

    // A newest message too long on its own leaves the system message alone.
    store.add("user", QString::fromUtf8("e\u0301").repeated(12300));
    auto second = ReplyRecorder::make();
    second->send("s", store.messages());
    ASSERT_TRUE(second->waitForEnd());
    EXPECT_EQ(jsonOf(server.requests().at(1).body)["messages"].toArray().size(), 1);
}

TEST_F(ChatStream, ContentPiecesArriveInOrderOnTheStreamThreadAndDoneEndsOnce)
{
    // The second piece is split across two chunks, and data after "[DONE]" in
    // the same chunk is never passed on.
    server.enqueue(ScriptedResponse::sse({chunk(R"({"role":"assistant","content":"Hel"})"),
                                          chunk(R"({"content":"lo"})").left(30), chunk(R"({"content":"lo"})").mid(30),
                                          chunk(R"({"content":"!"})"), done + chunk(R"({"content":"late"})") + done},
                                         5));
    auto reply = ReplyRecorder::make();
    const QUuid id = reply->send("p");
    EXPECT_TRUE(activeStreams().contains(id));
    ASSERT_TRUE(reply->waitForEnd());
    EXPECT_EQ(reply->contents(), (QStringList{"Hel", "lo", "!"}));
    EXPECT_EQ(reply->stops(), 1);
    EXPECT_TRUE(reply->errors().isEmpty());
    EXPECT_FALSE(reply->misordered());
    EXPECT_FALSE(activeStreams().contains(id));
    EXPECT_FALSE(OpenAiService::stopStream(id));
}

TEST_F(ChatStream, FunctionCallPiecesAndAFinishReasonChunk)
{
    server.enqueue(ScriptedResponse::sse(
        {chunk(R"({"role":"assistant","content":null,"function_call":{"name":"jsExecution","arguments":""}})"),
         chunk(R"({"function_call":{"arguments":"{\"code\""}})"), chunk(R"({"function_call":{"arguments":":\"1+"}})"),
         chunk(R"({"function_call":{"arguments":"1\"}"}})"), chunk(R"({"content":"x"})", R"("function_call")"), done},
        2));
    auto reply = ReplyRecorder::make();
    reply->send("p");
    ASSERT_TRUE(reply->waitForEnd());
    const QList<ParsedDelta> expected{
        {std::nullopt, QString("jsExecution"), QString("")},
        {std::nullopt, std::nullopt, QString("{\"code\"")},
        {std::nullopt, std::nullopt, QString(":\"1+")},
        {std::nullopt, std::nullopt, QString("1\"}")},
    };
    EXPECT_EQ(reply->deltas(), expected);
    EXPECT_EQ(reply->stops(), 1);
    EXPECT_FALSE(reply->misordered());
}

TEST_F(ChatStream, MarkerWithASpaceAndUndecodableDataPrintAndEndThroughStop)
{
    for (const QByteArray& event : {QByteArray("data:  [DONE]\n\n"), QByteArray("data: {\"choices\":[{\"delta\":{}}]}\n\n")}) {
        server.enqueue(ScriptedResponse::sse({chunk(R"({"content":"a"})"), event, chunk(R"({"content":"b"})")}));
        auto reply = ReplyRecorder::make();
        testing::internal::CaptureStdout();
        reply->send("p");
        const bool ended = reply->waitForEnd();
        const QString printed = QString::fromStdString(testing::internal::GetCapturedStdout());
        ASSERT_TRUE(ended);
        EXPECT_EQ(reply->contents(), QStringList{"a"});
        EXPECT_EQ(reply->stops(), 1);
        EXPECT_TRUE(reply->errors().isEmpty());
        const QStringList lines = printed.split('\n');
        ASSERT_EQ(lines.size(), 3) << printed.toStdString();
        EXPECT_EQ(lines[0], "Unable to decode json");
        EXPECT_FALSE(lines[1].isEmpty());
    }
}

TEST_F(ChatStream, UnsuccessfulStatusesGiveTheirTexts)
{
    const QList<QPair<int, QString>> cases{
        {401, invalidKey},
        {404, "Unortunately, it looks like you do not have access to GPT-4 yet."},
        {500, generic},
        {204, generic}, // the stream gives up by itself; the reply must still end
    };
    for (const auto& [status, text] : cases) {
        server.enqueue(ScriptedResponse::text(status, R"({"error":{"message":"no"}})"));
        auto reply = ReplyRecorder::make();
        const QUuid id = reply->send("p");
        ASSERT_TRUE(reply->waitForEnd()) << status;
        EXPECT_EQ(reply->errors(), QStringList{text}) << status;
        EXPECT_EQ(reply->stops(), 0);
        EXPECT_TRUE(reply->deltas().isEmpty());
        EXPECT_FALSE(activeStreams().contains(id));
    }
}

TEST_F(ChatStream, ConnectionEndingWithoutDoneGivesTheGenericTextAndIsNotResent)
{
    ScriptedResponse dropped = ScriptedResponse::sse({chunk(R"({"content":"Hel"})"), "data: {\"cho"});
    dropped.drop = true;
    server.enqueue(dropped);
    // A body that ends cleanly but early.
    server.enqueue(ScriptedResponse::sse({chunk(R"({"content":"Hel"})")}));
    server.enqueue(ScriptedResponse::sse({chunk(R"({"content":"second completion"})"), done}));

    for (int i = 0; i < 2; ++i) {
        auto reply = ReplyRecorder::make();
        const QUuid id = reply->send("p");
        ASSERT_TRUE(reply->waitForEnd()) << i;
        EXPECT_EQ(reply->contents(), QStringList{"Hel"}) << i;
        EXPECT_EQ(reply->errors(), QStringList{generic}) << i;
        EXPECT_EQ(reply->stops(), 0);
        EXPECT_FALSE(reply->misordered());
        // The stream is gone, so it cannot send the request again.
        EXPECT_FALSE(activeStreams().contains(id));
    }
    EXPECT_EQ(server.requestCount(), 2);

    qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8());
    auto refused = ReplyRecorder::make();
    refused->send("p");
    ASSERT_TRUE(refused->waitForEnd());
    EXPECT_EQ(refused->errors(), QStringList{generic});
}

TEST_F(ChatStream, TwoRepliesStreamingAtOnceKeepTheirPiecesApart)
{
    server.setHandler([](const RecordedRequest& request) {
        const QByteArray name = request.body.contains("\"content\":\"first\"") ? "A" : "B";
        QList<QByteArray> pieces;
        for (int i = 0; i < 5; ++i)
            pieces.append(chunk("{\"content\":\"" + name + QByteArray::number(i) + "\"}"));
        pieces.append(done);
        return ScriptedResponse::sse(pieces, 15);
    });
    auto first = ReplyRecorder::make();
    auto second = ReplyRecorder::make();
    const QUuid firstId = first->send("first");
    const QUuid secondId = second->send("second");
    EXPECT_NE(firstId, secondId);
    EXPECT_EQ(activeStreams().size(), 2);
    ASSERT_TRUE(first->waitForEnd());
    ASSERT_TRUE(second->waitForEnd());
    EXPECT_EQ(first->contents(), (QStringList{"A0", "A1", "A2", "A3", "A4"}));
    EXPECT_EQ(second->contents(), (QStringList{"B0", "B1", "B2", "B3", "B4"}));
    EXPECT_EQ(first->stops() + second->stops(), 2);
    EXPECT_FALSE(first->misordered() || second->misordered());
}

TEST_F(ChatStream, WithoutAnApiKeyNothingIsSentAndTheKeyTextIsReported)
{
    Settings::instance().remove(Settings::apiKeyKey);
    auto reply = ReplyRecorder::make();
    reply->send("p");
    ASSERT_TRUE(reply->waitForEnd());
    EXPECT_EQ(reply->errors(), QStringList{invalidKey});
    EXPECT_FALSE(reply->misordered());

    // A key that cannot go into a header is not sent either.
    storeCredentials("sk-pasted\r\n", "");
    auto pasted = ReplyRecorder::make();
    pasted->send("p");
    ASSERT_TRUE(pasted->waitForEnd());
    EXPECT_EQ(pasted->errors(), QStringList{invalidKey});
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(ChatStream, StoppingByIdEndsTheReplyWithoutFurtherCallbacks)
{
    QList<QByteArray> pieces{chunk(R"({"content":"first"})")};
    for (int i = 0; i < 20; ++i)
        pieces.append(chunk(R"({"content":"more"})"));
    pieces.append(done);
    server.enqueue(ScriptedResponse::sse(pieces, 50));
    auto reply = ReplyRecorder::make();
    const QUuid id = reply->send("p");
    ASSERT_TRUE(reply->waitForDeltas(1));
    EXPECT_TRUE(OpenAiService::stopStream(id));
    EXPECT_FALSE(OpenAiService::stopStream(id));
    EXPECT_FALSE(activeStreams().contains(id));
    const qsizetype seen = reply->deltas().size();
    // Give a late piece every chance to show up.
    QTest::qWait(300);
    EXPECT_EQ(reply->deltas().size(), seen);
    EXPECT_FALSE(reply->ended());
}

TEST_F(ChatStream, ManyRepliesEndingAndStoppedAtOnceLeaveTheRegistryEmpty)
{
    server.setHandler([](const RecordedRequest& request) {
        QList<QByteArray> pieces;
        for (int i = 0; i < 4; ++i)
            pieces.append(chunk(R"({"content":"p"})"));
        // Every third reply fails, the others finish.
        if (request.body.contains("\"content\":\"s0\"") || request.body.contains("\"content\":\"s3\""))
            return ScriptedResponse::text(500, "{}");
        pieces.append(done);
        return ScriptedResponse::sse(pieces, 3);
    });
    QList<std::shared_ptr<ReplyRecorder>> replies;
    QList<QUuid> ids;
    for (int i = 0; i < 12; ++i) {
        replies.append(ReplyRecorder::make());
        ids.append(replies.last()->send(QStringLiteral("s%1").arg(i % 6)));
    }
    // Stop a few from this thread while the others stream.
    for (int i = 1; i < 12; i += 4)
        OpenAiService::stopStream(ids[i]);
    for (int i = 0; i < 12; ++i) {
        if (i % 4 == 1) {
            // Stopped: at most the end that came before the stop, nothing after.
            EXPECT_LE(replies[i]->stops() + replies[i]->errors().size(), 1) << i;
            EXPECT_FALSE(replies[i]->misordered()) << i;
            continue;
        }
        ASSERT_TRUE(replies[i]->waitForEnd()) << i;
        EXPECT_EQ(replies[i]->stops() + replies[i]->errors().size(), 1) << i;
        EXPECT_FALSE(replies[i]->misordered()) << i;
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return activeStreams().size() == 0; }, 5000));
}
