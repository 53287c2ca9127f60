#include "MessageFixture.h"
#include "ReplyRecorder.h"
#include "support/ChatCompletionStream.h"
#include "support/OpenAiServerTest.h"

#include "extensions/ExtensionRegistry.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace Sse;

namespace {

const QString invalidKey = "Unfortunately, your API key appears to be invalid. Please check it in Vorbel's settings.";
const QString generic = "I'm sorry, but some sort of error happened. Please retry.";

class ChatStream : public OpenAiServerTest {
protected:
    void SetUp() override
    {
        OpenAiServerTest::SetUp();
        for (const CustomExtension& extension : allExtensions())
            Settings::instance().remove(Settings::extensionEnabledKey(extension.id));
        storeCredentials("sk-test", "");
    }
};

} // namespace

TEST_F(ChatStream, RequestCarriesTheHistoryFunctionsAndHeaders)
{
    const MessageFixture store({
        {"user", "What is 6*7?"},
        {"assistant", "", "jsExecution", "{\"code\":\"6*7\"}", "42"},
        {"assistant", std::nullopt, "x", std::nullopt, "42"},
        {"assistant", "It is 42.", "", std::nullopt, std::nullopt}, // an empty name is no call
        {"app", generic},
        {"assistant", ""}, // replies that never received anything
        {"assistant", std::nullopt},
        {"user", "Thanks"},
    });
    // Thinking is never sent, not even of a reply that has nothing else.
    store.messages()[3]->setReasoning("Six sevens.");
    store.messages()[5]->setReasoning("Hmm.");
    // Built-in models on OpenAI's server keep the "functions" form byte for byte, keys sorted.
    QJsonObject expected = jsonOf(R"({"stream":true,"model":"","messages":[
        {"role":"system","content":"You are terse."},
        {"role":"user","content":"What is 6*7?"},
        {"role":"assistant","content":"","function_call":{"name":"jsExecution","arguments":"{\"code\":\"6*7\"}"}},
        {"role":"function","content":"42","name":"jsExecution"},
        {"role":"assistant","function_call":{"name":"x"}},
        {"role":"function","content":"42","name":"x"},
        {"role":"assistant","content":"It is 42."},
        {"role":"user","content":"Thanks"}]})");
    // Nothing stored: exactly the JavaScript function is offered.
    expected.insert("functions", QJsonArray{findFunction(QStringLiteral("jsExecution"))->apiDefinition.toJson()});
    const QList<SupportedModel>& models = supportedModels();
    for (const SupportedModel& model : models) {
        SCOPED_TRACE(model.id.toStdString());
        // An organisation is stored for the last one only; it goes along unchanged.
        const bool organisation = &model == &models.last();
        if (organisation)
            storeCredentials("sk-test", "org-Team 1");
        Settings::instance().setText(Settings::modelKey, model.id);
        server.enqueue(ScriptedResponse::sse({done}));
        ReplyRecorder reply("You are terse.", store.messages());
        ASSERT_TRUE(reply.waitForEnd());
        EXPECT_EQ(reply.ends, QStringList{ReplyRecorder::finished});
        const RecordedRequest request = server.requests().last();
        EXPECT_EQ(request.method + ' ' + request.path, "POST /v1/chat/completions");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Authorization"), "Bearer sk-test");
        EXPECT_EQ(request.hasHeader("OpenAI-Organization"), organisation);
        EXPECT_EQ(request.header("OpenAI-Organization"), organisation ? "org-Team 1" : "");
        expected.insert("model", model.id);
        EXPECT_EQ(request.body, QJsonDocument(expected).toJson(QJsonDocument::Compact));
    }
}

TEST_F(ChatStream, NoFunctionsUnknownModelAndTheHistoryCut)
{
    server.enqueue(ScriptedResponse::sse({done}));
    for (const CustomExtension& extension : allExtensions())
        Settings::instance().setBool(Settings::extensionEnabledKey(extension.id), false);
    Settings::instance().setText(Settings::modelKey, "local-model-7b");
    MessageFixture store;
    for (int i = 0; i < 10; ++i)
        store.add({i % 2 ? "assistant" : "user", QString::number(i).repeated(3000)});
    ReplyRecorder reply(QString("s").repeated(300), store.messages());
    ASSERT_TRUE(reply.waitForEnd());
    const QJsonObject body = jsonOf(server.requests().at(0).body);
    EXPECT_FALSE(body.contains("functions"));
    EXPECT_EQ(body["model"].toString(), "local-model-7b");
    // The worked example: 100, then 1100, 2100, 3100 kept, 4100 not below 4096.
    EXPECT_EQ(body["messages"].toArray().size(), 4);
    EXPECT_EQ(body["messages"][1]["content"].toString(), QString("7").repeated(3000));
}

TEST_F(ChatStream, ContentPiecesArriveInOrderAndEndOnceAtDoneOrAbort)
{
    // The second piece is split across two chunks; data after "[DONE]" in its chunk is dropped.
    server.enqueue(ScriptedResponse::sse({chunk({{"role", "assistant"}, {"content", "Hel"}}), content("lo").left(30),
                                          content("lo").mid(30), content("!"), done + content("late") + done},
                                         5));
    ReplyRecorder reply("p");
    ASSERT_TRUE(reply.waitForEnd());
    EXPECT_EQ(reply.contents, (QStringList{"Hel", "lo", "!"}));
    EXPECT_EQ(reply.ends, QStringList{ReplyRecorder::finished});

    // Aborted from the slot of its first piece: nothing more of that read arrives, not even its end.
    server.enqueue(ScriptedResponse::sse({content("a") + content("b") + done}));
    ReplyRecorder aborted("p");
    QObject::connect(aborted.reply, &ChatReply::piece, aborted.reply, &ChatReply::abort);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !aborted.contents.isEmpty(); }));
    EXPECT_EQ(aborted.contents, QStringList{"a"});
    EXPECT_TRUE(aborted.ends.isEmpty());
}

TEST_F(ChatStream, FailuresGiveTheirTextKeepWhatArrivedAndAreNotSentAgain)
{
    ScriptedResponse dropped = ScriptedResponse::sse({content("Hel"), "data: {\"cho"});
    dropped.drop = true;
    const struct {
        std::optional<ScriptedResponse> response; // none: nothing is sent
        QStringList contents;
        QString text;
        std::function<void()> prepare = {};
    } cases[] = {
        {ScriptedResponse::text(401, "{}"), {}, invalidKey},
        {ScriptedResponse::text(404, "{}"), {}, "Unortunately, it looks like you do not have access to GPT-4 yet."},
        {ScriptedResponse::text(500, "{}"), {}, generic},
        {ScriptedResponse::text(204, "{}"), {}, generic}, // the stream gives up by itself
        {dropped, {"Hel"}, generic},
        // Ended cleanly but early: sent again, it would add a second completion.
        {ScriptedResponse::sse({content("Hel")}), {"Hel"}, generic},
        // No server; then no key, and a key unfit for a header: neither is sent (that would give the generic text).
        {std::nullopt,
         {},
         generic,
         [] { qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8()); }},
        {std::nullopt, {}, invalidKey, [] { Settings::instance().remove(Settings::apiKeyKey); }},
        {std::nullopt, {}, invalidKey, [] { storeCredentials("sk-pasted\r\n", ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        if (c.prepare)
            c.prepare();
        if (c.response)
            server.enqueue(*c.response);
        ReplyRecorder reply("p");
        ASSERT_TRUE(reply.waitForEnd());
        EXPECT_EQ(reply.contents, c.contents);
        EXPECT_EQ(reply.ends, QStringList{c.text});
    }
    EXPECT_EQ(server.requestCount(), 6);
}
