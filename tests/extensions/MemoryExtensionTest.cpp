#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"
#include "extensions/MemoryExtension.h"
#include "extensions/PineconeClient.h"
#include "store/StoreContext.h"
#include "store/StoreOperations.h"
#include "support/HttpTestServer.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

using namespace extensiontest;

namespace {

const QString invalidCredentials =
    "Your Pinecone credentials appear to be invalid. Please update in app settings.";
const QByteArray embeddingAnswer = R"({"data":[{"embedding":[0.5,0.25],"index":0,"object":"embedding"}]})";

// The test server plays both OpenAI and the Pinecone index; answers are chosen by path.
class MemoryExtensionTest : public testing::Test {
protected:
    void SetUp() override
    {
        clearExtensionSettings();
        const QByteArray base = server.baseUrl().toString().toUtf8();
        setenv("VORBEL_OPENAI_URL", base.constData(), 1);
        setenv("VORBEL_PINECONE_URL", base.constData(), 1);
        Settings& settings = Settings::instance();
        settings.setText(Settings::apiKeyKey, "sk-test");
        settings.setText(Settings::pineconeApiKeyKey, "pc-key");
        settings.setText(Settings::pineconeIndexKey, "memories");
        settings.setText(Settings::pineconeEnvironmentKey, "us-east1-gcp");
        answer("/v1/embeddings", ScriptedResponse::text(200, embeddingAnswer));
        answer("/vectors/upsert", ScriptedResponse::text(200, R"({"upsertedCount":1})"));
        answer("/vectors/delete", ScriptedResponse::text(200, "{}"));
        answer("/query", ScriptedResponse::text(200, R"({"matches":[],"namespace":""})"));
        server.setHandler([this](const RecordedRequest& request) {
            QMutexLocker lock(&mutex);
            return answers.value(request.path, ScriptedResponse::text(404, ""));
        });
    }
    void TearDown() override
    {
        unsetenv("VORBEL_OPENAI_URL");
        unsetenv("VORBEL_PINECONE_URL");
        clearExtensionSettings();
    }

    void answer(const QByteArray& path, const ScriptedResponse& response)
    {
        QMutexLocker lock(&mutex);
        answers.insert(path, response);
    }

    // Off the UI thread, as the framework runs it.
    static QString call(QString (*execution)(const std::optional<QString>&), const std::optional<QString>& arguments)
    {
        return std::async(std::launch::async, [=] { return execution(arguments); }).get();
    }

    QList<RecordedRequest> requestsTo(const QByteArray& path) const
    {
        QList<RecordedRequest> matching = server.requests();
        matching.removeIf([&path](const RecordedRequest& request) { return request.path != path; });
        return matching;
    }

    static QJsonObject bodyOf(const RecordedRequest& request)
    {
        return QJsonDocument::fromJson(request.body).object();
    }

    HttpTestServer server;
    QMutex mutex;
    QHash<QByteArray, ScriptedResponse> answers;
};

} // namespace

TEST_F(MemoryExtensionTest, SavingEmbedsTheMemoryAndStoresItUnderANewOrGivenId)
{
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"likes tea"})")), "Memory saved");
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"likes tea"})")), "Memory saved");
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"id":"mem-1","memory":"likes coffee"})")), "Memory saved");

    const QList<RecordedRequest> embeddings = requestsTo("/v1/embeddings");
    ASSERT_EQ(embeddings.size(), 3);
    EXPECT_EQ(bodyOf(embeddings[2]).value("input").toString(), "likes coffee");

    const QList<RecordedRequest> upserts = requestsTo("/vectors/upsert");
    ASSERT_EQ(upserts.size(), 3);
    EXPECT_EQ(upserts[0].method, "POST");
    EXPECT_EQ(upserts[0].header("Api-Key"), "pc-key");
    EXPECT_EQ(upserts[0].header("Content-Type"), "application/json");
    EXPECT_EQ(upserts[0].header("Accept"), "application/json");
    const QJsonObject first = bodyOf(upserts[0]).value("vectors").toArray().at(0).toObject();
    const QJsonObject second = bodyOf(upserts[1]).value("vectors").toArray().at(0).toObject();
    const QRegularExpression upperUuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    EXPECT_TRUE(upperUuid.match(first.value("id").toString()).hasMatch()) << first.value("id").toString().toStdString();
    EXPECT_NE(first.value("id"), second.value("id"));
    EXPECT_EQ(first.value("values").toArray(), QJsonArray({0.5, 0.25}));
    EXPECT_EQ(first.value("metadata").toObject(), QJsonObject({{"text", "likes tea"}}));
    EXPECT_EQ(bodyOf(upserts[2]).value("vectors").toArray().at(0).toObject().value("id").toString(), "mem-1");
}

TEST_F(MemoryExtensionTest, RecallRendersMatchesInOrderWithShortestScores)
{
    answer("/query", ScriptedResponse::text(200, R"({"matches":[)"
                                                 R"({"id":"A","score":0.87654321,"values":[],"metadata":{"text":"likes tea"}},)"
                                                 R"({"id":"B","score":0.5}]})"));
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"drinks?"})")),
              "Relevant memories:\nId: A\nScore: 0.8765432\nContent: likes tea\n\nId: B\nScore: 0.5\nContent: ");
    const QList<RecordedRequest> queries = requestsTo("/query");
    ASSERT_EQ(queries.size(), 1);
    EXPECT_EQ(bodyOf(queries[0]), QJsonObject({{"topK", 6},
                                               {"includeValues", false},
                                               {"includeMetadata", true},
                                               {"vector", QJsonArray({0.5, 0.25})}}));

    answer("/query", ScriptedResponse::text(200, R"({"matches":[]})"));
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"anything"})")), "Relevant memories:\n");
}

TEST_F(MemoryExtensionTest, DeletingSplitsAtEveryCommaAndResetDeletesAll)
{
    EXPECT_EQ(call(executeDeleteMemory, QString(R"({"ids":"a, b,"})")), "Removed memories a, b,");
    EXPECT_EQ(call(executeResetMemories, std::nullopt), "Successfully reset all memories");
    const QList<RecordedRequest> deletes = requestsTo("/vectors/delete");
    ASSERT_EQ(deletes.size(), 2);
    EXPECT_EQ(bodyOf(deletes[0]), QJsonObject({{"ids", QJsonArray({"a", " b", ""})}, {"deleteAll", false}}));
    EXPECT_EQ(deletes[1].body, R"({"deleteAll":true})");
    // Neither needs an embedding.
    EXPECT_TRUE(requestsTo("/v1/embeddings").isEmpty());
}

TEST_F(MemoryExtensionTest, RefusedRequestsGiveTheCredentialsTextEverywhere)
{
    for (const char* path : {"/vectors/upsert", "/query", "/vectors/delete"})
        answer(path, ScriptedResponse::text(401, R"({"matches":[]})"));
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"x"})")), invalidCredentials);
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"x"})")), invalidCredentials);
    EXPECT_EQ(call(executeDeleteMemory, QString(R"({"ids":"a"})")), invalidCredentials);
    EXPECT_EQ(call(executeResetMemories, QString("{}")), invalidCredentials);

    // No key stored: no Api-Key header at all, and the service refuses.
    Settings::instance().remove(Settings::pineconeApiKeyKey);
    EXPECT_EQ(call(executeResetMemories, std::nullopt), invalidCredentials);
    EXPECT_FALSE(requestsTo("/vectors/delete").last().hasHeader("Api-Key"));

    // Nothing listening is the same as a refusal.
    Settings::instance().setText(Settings::pineconeApiKeyKey, "pc-key");
    setenv("VORBEL_PINECONE_URL", HttpTestServer::refusedUrl().toString().toUtf8().constData(), 1);
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"x"})")), invalidCredentials);
}

TEST_F(MemoryExtensionTest, OtherFailuresGiveEachFunctionsOwnText)
{
    // Environment never stored: nothing is sent to either service.
    Settings::instance().remove(Settings::pineconeEnvironmentKey);
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"x"})")), "Unable to recall memory");
    EXPECT_EQ(call(executeResetMemories, std::nullopt), "Unable to reset memories");
    EXPECT_EQ(server.requestCount(), 0);
    Settings::instance().setText(Settings::pineconeEnvironmentKey, "us-east1-gcp");

    // An undecodable 200 answer, and embeddings that fail or come back empty.
    answer("/query", ScriptedResponse::text(200, R"({"matches":[{"id":"A"}]})"));
    EXPECT_EQ(call(executeGetMemory, QString(R"({"query":"x"})")), "Unable to recall memory");
    answer("/vectors/delete", ScriptedResponse::text(200, "[]"));
    EXPECT_EQ(call(executeDeleteMemory, QString(R"({"ids":"a"})")), "Unable to remove memory");
    answer("/v1/embeddings", ScriptedResponse::text(429, R"({"error":{}})"));
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"x"})")), "Unable to save memory");
    answer("/v1/embeddings", ScriptedResponse::text(200, R"({"data":[]})"));
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"x"})")), "Unable to save memory");
    EXPECT_TRUE(requestsTo("/vectors/upsert").isEmpty());
}

TEST_F(MemoryExtensionTest, StoredTextsThatDoNotFormAnIndexHostSendNothing)
{
    unsetenv("VORBEL_PINECONE_URL");
    EXPECT_EQ(Pinecone::pineconeBaseUrl(), QUrl("https://memories.svc.us-east1-gcp.pinecone.io"));
    Settings::instance().remove(Settings::pineconeIndexKey);
    try {
        Pinecone::pineconeBaseAddress();
        ADD_FAILURE() << "an index never stored is missing credentials";
    } catch (const PineconeError& error) {
        EXPECT_EQ(error.kind(), PineconeError::Kind::MissingCredentials);
    }
    for (const char* index : {"my index", "evil.example/steal?", "user@evil.example#"}) {
        Settings::instance().setText(Settings::pineconeIndexKey, index);
        EXPECT_EQ(call(executeResetMemories, std::nullopt), "Unable to reset memories") << index;
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(MemoryExtensionTest, UndecodableArgumentsEscapeToTheFramework)
{
    EXPECT_ANY_THROW(executeUpsertMemory(std::nullopt));
    EXPECT_ANY_THROW(executeUpsertMemory(QString(R"({"id":"a"})")));
    EXPECT_ANY_THROW(executeUpsertMemory(QString(R"({"memory":"x","id":7})")));
    EXPECT_ANY_THROW(executeGetMemory(QString("query")));
    EXPECT_ANY_THROW(executeDeleteMemory(QString(R"({"ids":["a"]})")));
    EXPECT_EQ(server.requestCount(), 0);

    StoreContext context(SqliteStore::openInMemory());
    const MessagePtr message = makeMessage(context, "assistant", QString(), context.insertConversation(),
                                           QStringLiteral("getMemory"), true);
    message->setFunctionArguments(QStringLiteral("{\"query\": 5}"));
    bool recorded = false;
    runFunctionCall(context, message, [&] { recorded = true; });
    ASSERT_TRUE(waitUntil([&] { return recorded; }));
    EXPECT_EQ(message->functionResult(), QString("Function returned unexpected result"));
}
