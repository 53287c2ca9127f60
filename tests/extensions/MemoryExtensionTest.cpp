#include "ExtensionTestSupport.h"

#include "extensions/MemoryExtension.h"
#include "extensions/PineconeClient.h"

#include <QRegularExpression>

namespace {

using MemoryExtensionTest = ServiceTest;

const QString invalidCredentials = "Your Pinecone credentials appear to be invalid. Please update in app settings.";

QJsonObject vectorOf(const RecordedRequest& upsert)
{
    return QJsonDocument::fromJson(upsert.body).object().value("vectors").toArray().at(0).toObject();
}

} // namespace

TEST_F(MemoryExtensionTest, EachFunctionSendsItsRecordsAndAnswersWithTheResult)
{
    // Saving without an id twice stores two memories; a given id is kept.
    for (const char* arguments :
         {R"({"memory":"likes tea"})", R"({"memory":"likes tea"})", R"({"id":"mem-1","memory":"likes coffee"})"})
        EXPECT_EQ(callOffUiThread(executeUpsertMemory, QString(arguments)), "Memory saved");
    EXPECT_EQ(bodyOf(requestsTo("/v1/embeddings").value(2)).value("input").toString(), "likes coffee");
    const QList<RecordedRequest> upserts = requestsTo("/vectors/upsert");
    ASSERT_EQ(upserts.size(), 3);
    for (const auto& [name, value] :
         {std::pair("Api-Key", "pc-key"), {"Content-Type", "application/json"}, {"Accept", "application/json"}})
        EXPECT_EQ(upserts[0].header(name), value);
    const QString newId = vectorOf(upserts[0]).value("id").toString();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(newId).hasMatch())
        << newId.toStdString();
    EXPECT_NE(newId, vectorOf(upserts[1]).value("id").toString());
    EXPECT_EQ(vectorOf(upserts[0]).value("values").toArray(), QJsonArray({0.5, 0.25}));
    EXPECT_EQ(vectorOf(upserts[0]).value("metadata").toObject(), QJsonObject({{"text", "likes tea"}}));
    EXPECT_EQ(vectorOf(upserts[2]).value("id").toString(), "mem-1");

    answer("/query", ScriptedResponse::text(200, R"({"matches":[{"id":"A","score":0.87654321,"values":[],)"
                                                 R"("metadata":{"text":"likes tea"}},{"id":"B","score":0.5}]})"));
    EXPECT_EQ(callOffUiThread(executeGetMemory, QString(R"({"query":"drinks?"})")),
              "Relevant memories:\nId: A\nScore: 0.8765432\nContent: likes tea\n\nId: B\nScore: 0.5\nContent: ");
    EXPECT_EQ(requestsTo("/query").value(0).body,
              R"({"includeMetadata":true,"includeValues":false,"topK":6,"vector":[0.5,0.25]})");
    answer("/query", ScriptedResponse::text(200, R"({"matches":[]})"));
    EXPECT_EQ(callOffUiThread(executeGetMemory, QString(R"({"query":"anything"})")), "Relevant memories:\n");

    // Deleting splits at every comma, keeping spaces and empty pieces; neither needs an embedding.
    const qsizetype embeddings = requestsTo("/v1/embeddings").size();
    EXPECT_EQ(callOffUiThread(executeDeleteMemory, QString(R"({"ids":"a, b,"})")), "Removed memories a, b,");
    EXPECT_EQ(callOffUiThread(executeResetMemories, std::nullopt), "Successfully reset all memories");
    const QList<RecordedRequest> deletes = requestsTo("/vectors/delete");
    ASSERT_EQ(deletes.size(), 2);
    EXPECT_EQ(deletes[0].body, R"({"deleteAll":false,"ids":["a"," b",""]})");
    EXPECT_EQ(deletes[1].body, R"({"deleteAll":true})");
    EXPECT_EQ(requestsTo("/v1/embeddings").size(), embeddings);
}

TEST_F(MemoryExtensionTest, EveryFailureGetsItsFixedText)
{
    const struct {
        Execution execution;
        const char* arguments;
        QString failureText;
    } functions[] = {{executeUpsertMemory, R"({"memory":"x"})", "Unable to save memory"},
                     {executeGetMemory, R"({"query":"x"})", "Unable to recall memory"},
                     {executeDeleteMemory, R"({"ids":"a"})", "Unable to remove memory"},
                     {executeResetMemories, "{}", "Unable to reset memories"}};
    for (const char* path : {"/vectors/upsert", "/query", "/vectors/delete"}) // refused by the index
        answer(path, ScriptedResponse::text(401, R"({"matches":[]})"));
    for (const auto& function : functions)
        EXPECT_EQ(callOffUiThread(function.execution, QString(function.arguments)), invalidCredentials);
    // No key stored: no Api-Key header at all, and the service refuses.
    Settings::instance().remove(Settings::pineconeApiKeyKey);
    EXPECT_EQ(callOffUiThread(executeResetMemories, std::nullopt), invalidCredentials);
    EXPECT_FALSE(requestsTo("/vectors/delete").last().hasHeader("Api-Key"));

    // 200 answers that do not decode: each function's own text.
    answer("/vectors/upsert", ScriptedResponse::text(200, R"({"upsertedCount":"one"})"));
    answer("/query", ScriptedResponse::text(200, R"({"matches":[{"id":"A"}]})"));
    answer("/vectors/delete", ScriptedResponse::text(200, "[]"));
    for (const auto& function : functions)
        EXPECT_EQ(callOffUiThread(function.execution, QString(function.arguments)), function.failureText);

    // Embeddings that fail or come back empty send nothing to the index.
    const qsizetype upserts = requestsTo("/vectors/upsert").size();
    for (const auto& [status, body] : {std::pair(429, R"({"error":{}})"), {200, R"({"data":[]})"}}) {
        answer("/v1/embeddings", ScriptedResponse::text(status, body));
        EXPECT_EQ(callOffUiThread(executeUpsertMemory, QString(R"({"memory":"x"})")), "Unable to save memory");
    }
    EXPECT_EQ(requestsTo("/vectors/upsert").size(), upserts);

    // Nothing listening is the same as a refusal.
    setenv("VORBEL_PINECONE_URL", HttpTestServer::refusedUrl().toString().toUtf8().constData(), 1);
    EXPECT_EQ(callOffUiThread(executeResetMemories, std::nullopt), invalidCredentials);
}

TEST_F(MemoryExtensionTest, NothingIsSentWithoutAnIndexHostOrDecodableArguments)
{
    unsetenv("VORBEL_PINECONE_URL");
    EXPECT_EQ(Pinecone::pineconeBaseUrl(), QUrl("https://memories.svc.us-east1-gcp.pinecone.io"));
    // Environment never stored: missing credentials, and not even an embedding is asked for.
    Settings::instance().remove(Settings::pineconeEnvironmentKey);
    EXPECT_EQ(callOffUiThread(executeGetMemory, QString(R"({"query":"x"})")), "Unable to recall memory");
    Settings::instance().setText(Settings::pineconeEnvironmentKey, "us-east1-gcp");
    for (const char* index : {"my index", "evil.example/steal?", "user@evil.example#"}) {
        Settings::instance().setText(Settings::pineconeIndexKey, index);
        EXPECT_EQ(callOffUiThread(executeResetMemories, std::nullopt), "Unable to reset memories") << index;
    }
    EXPECT_EQ(server.requestCount(), 0);

    // Arguments that do not decode escape to the framework, which records its own text.
    for (const auto& [execution, arguments] :
         {std::pair<Execution, std::optional<QString>>(executeUpsertMemory, std::nullopt),
          {executeUpsertMemory, R"({"id":"a"})"},
          {executeUpsertMemory, R"({"memory":"x","id":7})"},
          {executeGetMemory, "query"},
          {executeDeleteMemory, R"({"ids":["a"]})"}})
        EXPECT_ANY_THROW(execution(arguments));
    EXPECT_EQ(server.requestCount(), 0);
}
