#include "support/OpenAiServerTest.h"

#include "core/RequestErrors.h"
#include "openai/OpenAiRequests.h"

#include <gtest/gtest.h>

namespace {

const QByteArray modelList = R"({"object":"list","data":[
    {"id":"gpt-4-0613","object":"model","owned_by":"openai"},
    {"id":"gpt-3.5-turbo","object":"model"}]})";

using ValidateCredentials = OpenAiServerTest;
using CreateEmbedding = OpenAiServerTest;

} // namespace

TEST(SupportedModels, FixedTableInPickerOrderWithUnknownIdsAt4096)
{
    const QList<SupportedModel>& models = supportedModels();
    ASSERT_EQ(models.size(), 4);
    const QStringList ids{"gpt-3.5-turbo", "gpt-3.5-turbo-16k", "gpt-4", "gpt-4-32k"};
    const QStringList names{"GPT 3.5 Turbo", "GPT 3.5 Turbo 16k", "GPT 4", "GPT 4 32k"};
    const QList<int> lengths{4096, 16384, 16384, 16384};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(models[i].id, ids[i]);
        EXPECT_EQ(models[i].name, names[i]);
        EXPECT_EQ(models[i].contextLength, lengths[i]);
        EXPECT_EQ(contextLengthForModel(ids[i]), lengths[i]);
    }
    EXPECT_EQ(contextLengthForModel("gpt-4-0613"), 4096);
    EXPECT_EQ(contextLengthForModel("GPT-4"), 4096);
}

TEST_F(ValidateCredentials, ExactModelIdWithHeadersOfTheCheckedValues)
{
    server.enqueue(ScriptedResponse::text(200, modelList));
    server.enqueue(ScriptedResponse::text(200, modelList));
    // Stored credentials play no part: the checked values are the arguments.
    storeCredentials("stored-key", "stored-org");

    EXPECT_TRUE(onWorkerThread([] { return validateCredentials("sk-1", "org-9", "gpt-3.5-turbo"); }));
    // Only a dated variant is listed: not a match.
    EXPECT_FALSE(onWorkerThread([] { return validateCredentials("sk-1", "", "gpt-4"); }));

    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/v1/models");
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer sk-1");
    EXPECT_EQ(requests[0].header("OpenAI-Organization"), "org-9");
    EXPECT_FALSE(requests[1].hasHeader("OpenAI-Organization"));
}

TEST_F(ValidateCredentials, RefusalsAndMalformedListsAnswerFalse)
{
    server.enqueue(ScriptedResponse::text(401, R"({"error":{"message":"bad key"}})"));
    server.enqueue(ScriptedResponse::text(500, modelList));
    server.enqueue(ScriptedResponse::text(200, R"({"data":[{"object":"model"},{"id":"gpt-4"}]})"));
    server.enqueue(ScriptedResponse::text(200, "not json"));
    server.enqueue(ScriptedResponse::text(200, R"({"data":null})"));
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(onWorkerThread([] { return validateCredentials("sk", "", "gpt-4"); })) << "answer " << i;
    EXPECT_EQ(server.requestCount(), 5);

    // No server at all is a transport failure, not an answer.
    qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8());
    EXPECT_THROW(onWorkerThread([] { return validateCredentials("sk", "", "gpt-4"); }), TransportError);
}

TEST_F(ValidateCredentials, KeysWithLineBreaksAreRefusedWithoutSendingAnything)
{
    server.enqueue(ScriptedResponse::text(200, modelList));
    // Sent as it is, the line break would end the header and add another one.
    EXPECT_FALSE(onWorkerThread([] { return validateCredentials("sk-1\r\nX-Injected: 1", "", "gpt-3.5-turbo"); }));
    EXPECT_FALSE(onWorkerThread([] { return validateCredentials("sk-1\n", "", "gpt-3.5-turbo"); }));
    EXPECT_FALSE(onWorkerThread([] { return validateCredentials("sk-1", "org\t1", "gpt-3.5-turbo"); }));
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(CreateEmbedding, DecodesTheVectorAndSendsTheStoredCredentials)
{
    server.enqueue(ScriptedResponse::text(200, R"({"object":"list","model":"text-embedding-ada-002",
        "data":[{"object":"embedding","index":0,"embedding":[0.25,-1.5,3e-3]}],"usage":{"total_tokens":2}})"));
    storeCredentials("sk-emb", "org-1");

    const OpenAiEmbeddingCreationResponse response = onWorkerThread([] { return createEmbedding("héllo \"you\""); });
    ASSERT_EQ(response.data.size(), 1);
    EXPECT_EQ(response.data[0].embedding, (QList<float>{0.25f, -1.5f, 0.003f}));
    EXPECT_EQ(response.data[0].index, 0);
    EXPECT_EQ(response.data[0].object, "embedding");

    ASSERT_EQ(server.requestCount(), 1);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/embeddings");
    EXPECT_EQ(request.header("Authorization"), "Bearer sk-emb");
    EXPECT_EQ(request.header("OpenAI-Organization"), "org-1");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.body, QString(R"({"input":"héllo \"you\"","model":"text-embedding-ada-002"})").toUtf8());
}

TEST_F(CreateEmbedding, StatusOtherThan200FailsWithApiError)
{
    server.enqueue(ScriptedResponse::text(429, R"({"data":[{"object":"embedding","index":0,"embedding":[1]}]})"));
    storeCredentials("sk", "");
    try {
        onWorkerThread([] { return createEmbedding("x"); });
        FAIL() << "no error";
    } catch (const OpenAiApiError& error) {
        EXPECT_EQ(error.error(), OpenAiError::ApiError);
    }
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(server.requests().at(0).hasHeader("OpenAI-Organization"));
}

TEST_F(CreateEmbedding, BodiesOfAnotherShapeFailDecoding)
{
    storeCredentials("sk", "");
    const QList<QByteArray> bodies{
        R"({"data":[{"index":0,"embedding":[1.0]}]})",                      // no object
        R"({"data":[{"object":"embedding","index":0.5,"embedding":[1]}]})", // fractional index
        R"({"data":[{"object":"embedding","index":0,"embedding":[1,"2"]}]})",
        R"({"data":[{"object":"embedding","index":0,"embedding":[1e300]}]})", // beyond a 32-bit float
        R"([])",
    };
    for (const QByteArray& body : bodies) {
        server.enqueue(ScriptedResponse::text(200, body));
        EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), DecodingError) << body.constData();
    }
}

TEST_F(CreateEmbedding, NothingIsSentWithoutAStoredKey)
{
    server.enqueue(ScriptedResponse::text(200, R"({"data":[]})"));
    EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), OpenAiApiError);
    Settings::instance().setText(Settings::apiKeyKey, "");
    EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), OpenAiApiError);
    EXPECT_EQ(server.requestCount(), 0);

    storeCredentials("sk-pasted\n", "");
    EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), OpenAiApiError);
    storeCredentials("sk", "org\r\nX-Injected: 1");
    EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), OpenAiApiError);
    EXPECT_EQ(server.requestCount(), 0);

    qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8());
    storeCredentials("sk", "");
    EXPECT_THROW(onWorkerThread([] { return createEmbedding("x"); }), TransportError);
}
