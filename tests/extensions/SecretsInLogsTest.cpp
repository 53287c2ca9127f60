#include "ExtensionTestSupport.h"

#include "chat/ConversationController.h"
#include "extensions/MemoryExtension.h"
#include "extensions/WolframAlphaExtension.h"
#include "openai/OpenAiRequests.h"
#include "store/DataController.h"
#include "support/ChatCompletionStream.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace {

QMutex seenMutex;
QStringList seen; // every log line, result and error text

void record(const QString& text)
{
    QMutexLocker lock(&seenMutex);
    seen << text;
}

void recordMessage(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    record(QString::fromUtf8(context.category) + ": " + text);
}

using SecretsInLogs = ServiceTest;

} // namespace

TEST_F(SecretsInLogs, NoCredentialReachesALogLineOrAnErrorText)
{
    Settings& settings = Settings::instance();
    settings.setText(Settings::apiKeyKey, "sk-SECRET-api");
    settings.setText(Settings::orgKeyKey, "org-SECRET");
    settings.setText(Settings::pineconeApiKeyKey, "pc-SECRET");
    settings.setText(Settings::wolframAlphaAppIdKey, "wa-SECRET");
    QLoggingCategory::setFilterRules("vorbel.*=true");
    const QtMessageHandler previousHandler = qInstallMessageHandler(recordMessage);
    QTemporaryFile printed; // standard output and error until the end
    ASSERT_TRUE(printed.open());
    std::fflush(nullptr);
    const int savedOutput[] = {dup(1), dup(2)};
    for (int fd : {1, 2})
        dup2(printed.handle(), fd);
    const auto call = [](Execution execution, const char* arguments) { record(callOffUiThread(execution, arguments)); };
    const QByteArray refused = HttpTestServer::refusedUrl().toString().toUtf8();

    // Wolfram Alpha: an answer, an App ID that breaks the address, nobody listening.
    answer("/v1/result", ScriptedResponse::text(200, "4", "text/plain"));
    call(executeWolframAlphaRequest, R"({"prompt":"2 + 2"})");
    settings.setText(Settings::wolframAlphaAppIdKey, "wa-SECRET bad id");
    call(executeWolframAlphaRequest, R"({"prompt":"2 + 2"})");
    settings.setText(Settings::wolframAlphaAppIdKey, "wa-SECRET");
    setenv("VORBEL_WOLFRAM_URL", refused.constData(), 1);
    call(executeWolframAlphaRequest, R"({"prompt":"2 + 2"})");

    // Memory: saved and recalled, then refused, undecodable, failed embeddings, nobody listening.
    call(executeUpsertMemory, R"({"memory":"x"})");
    call(executeGetMemory, R"({"query":"x"})");
    answer("/vectors/delete", ScriptedResponse::text(401, "{}"));
    answer("/query", ScriptedResponse::text(200, "not json"));
    call(executeResetMemories, "{}");
    call(executeGetMemory, R"({"query":"x"})");
    answer("/v1/embeddings", ScriptedResponse::text(401, R"({"error":{"message":"Incorrect API key"}})"));
    call(executeUpsertMemory, R"({"memory":"x"})");
    setenv("VORBEL_PINECONE_URL", refused.constData(), 1);
    call(executeResetMemories, "{}");

    // Credential check and embeddings: accepted, not understood, refused, a key
    // that cannot be sent, nobody listening.
    const auto check = [] {
        std::async(std::launch::async, [] {
            record(QString::number(
                int(checkCredentials(Endpoints::openAiServer(), "sk-SECRET-api", "org-SECRET", "gpt-4").outcome)));
            record(createEmbedding("x").errorText());
        }).get();
    };
    for (const auto& [code, body] : {std::pair(200, R"({"data":[{"id":"gpt-4"}]})"), {200, "not json"}, {401, "{}"}}) {
        answer("/v1/models", ScriptedResponse::text(code, body));
        check();
    }
    settings.setText(Settings::apiKeyKey, "sk-SECRET-api\r\n"); // never sent, only warned about
    check();
    settings.setText(Settings::apiKeyKey, "sk-SECRET-api");
    setenv("VORBEL_OPENAI_URL", refused.constData(), 1);
    check();

    // Chat: refused with 401, a stream dropped mid-reply, an undecodable event.
    setenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8().constData(), 1);
    QTemporaryDir dir;
    DataController store(dir.path() + "/Vorbel.sqlite");
    StoreContext& context = store.storeContext();
    ConversationController controller(context, createConversation(context, createAssistant(context, "A", "", "")));
    QSignalSpy finished(&controller, &ConversationController::turnFinished);
    ScriptedResponse dropped = ScriptedResponse::sse({Sse::content("Hel")});
    dropped.drop = true;
    for (const ScriptedResponse& reply :
         {ScriptedResponse::text(401, "{}"), dropped, ScriptedResponse::sse({"data: {not json\n\n"})}) {
        const qsizetype turns = finished.count() + 1;
        answer("/v1/chat/completions", reply);
        controller.submit("Hi");
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() == turns; }, 20000));
        record(orderedMessages(*controller.conversation()).back()->content().value_or(QString()));
    }

    std::fflush(nullptr);
    for (int fd : {1, 2}) {
        dup2(savedOutput[fd - 1], fd);
        close(savedOutput[fd - 1]);
    }
    qInstallMessageHandler(previousHandler);
    QLoggingCategory::setFilterRules(QString());
    printed.seek(0);
    const QString everything = seen.join('\n') + '\n' + QString::fromUtf8(printed.readAll());
    EXPECT_FALSE(everything.contains("SECRET")) << everything.toStdString();
    // The capture did see each kind of output.
    for (const char* expected : {"vorbel.eventsource: Unsuccessful response: 401", "vorbel.extensions: Request failed",
                                 "vorbel.extensions: Memory function failed", "vorbel.openai", "Unable to decode json"})
        EXPECT_TRUE(everything.contains(expected)) << expected;
}
