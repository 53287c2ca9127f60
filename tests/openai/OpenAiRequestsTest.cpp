#include "support/OpenAiServerTest.h"

#include "openai/OpenAiRequests.h"

#include <QJsonArray>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

const QByteArray modelList = R"({"object":"list","data":[
    {"id":"gpt-4-0613","object":"model","owned_by":"openai"},
    {"id":"gpt-3.5-turbo","object":"model"}]})";

using ValidateCredentials = OpenAiServerTest;
using CreateEmbedding = OpenAiServerTest;
using ModelListBounds = OpenAiServerTest;

using Outcome = CredentialCheckResult::Outcome;

// The check of these credentials against the configured server, off the UI thread.
Outcome checked(const QString& apiKey, const QString& orgKey, const QString& model)
{
    return onWorkerThread([=] { return checkCredentials(Endpoints::openAiServer(), apiKey, orgKey, model).outcome; });
}

QByteArray modelListOf(const QStringList& ids)
{
    QJsonArray data;
    for (const QString& id : ids)
        data.append(QJsonObject{{"id", id}});
    return QJsonDocument(QJsonObject{{"data", data}}).toJson(QJsonDocument::Compact);
}

} // namespace

TEST(SupportedModels, FixedTableInPickerOrderThenCurrentFamiliesByLongestPrefix)
{
    using Row = std::tuple<QString, QString, int>;
    QList<Row> table;
    for (const SupportedModel& model : supportedModels())
        table.append({model.id, model.name, model.contextLength});
    EXPECT_EQ(table, (QList<Row>{{"gpt-3.5-turbo", "GPT 3.5 Turbo", 4096},
                                 {"gpt-3.5-turbo-16k", "GPT 3.5 Turbo 16k", 16384},
                                 {"gpt-4", "GPT 4", 16384},
                                 {"gpt-4-32k", "GPT 4 32k", 16384}}));

    // A server that reports a length wins over the families, never over the four.
    const QList<ServerModel> reported{{"gpt-4o-local", 8192}, {"gpt-4", 999}, {"quiet", std::nullopt}};
    const QList<std::pair<QString, int>> lengths{
        {"gpt-4", 16384},
        {"gpt-4-32k", 16384},
        {"gpt-4-0613", 4096},
        {"GPT-4", 4096},
        {"gpt-4o", 128000},
        {"gpt-4o-2024-08-06", 128000},
        {"gpt-4o-mini", 128000},
        {"gpt-4-turbo-preview", 128000},
        {"gpt-4.1-mini", 1047576},
        {"o1", 200000},
        {"o3-mini", 200000},
        {"o4-mini", 200000},
        {"o10", 4096},
        {"gpt-5", 400000},
        {"gpt-5.1", 400000},
        {"gpt-5-mini", 400000},
        {"gpt-5.4", 1050000},
        {"gpt-5.4-pro", 1050000},
        {"gpt-5.5", 1000000},
        {"gpt-4o-local", 8192},
        {"quiet", 4096},
        {"llama3", 4096},
    };
    for (const auto& [id, length] : lengths)
        EXPECT_EQ(contextLengthForModel(id, reported), length) << id.toStdString();
}

TEST(SupportedModels, PickersOfferTheFourThenTheServersChatModelsById)
{
    const QList<ServerModel> listed = *decodeServerModels(R"({"object":"list","data":[
        {"id":"whisper-1"},{"id":"gpt-4o","context_window":"x"},{"id":"text-embedding-3-small"},
        {"id":"gpt-4"},{"id":"dall-e-3"},{"id":"Alpha","context_length":32768},{"id":"gpt-4o-mini-tts"},
        {"id":"omni-moderation-latest"},{"id":"gpt-4o-realtime-preview"},{"id":"gpt-3.5-turbo-instruct"},
        {"id":"davinci-002"},{"id":"gpt-4o-transcribe"},{"id":"gpt-image-1"},{"id":"gpt-4o-audio-preview"},
        {"id":"vllm","max_model_len":2048},{"id":"cpp","meta":{"n_ctx_train":8192}},{"id":"gpt-4o"}]})");
    EXPECT_EQ(listed.at(1), (ServerModel{"gpt-4o", std::nullopt}));
    const auto ids = [](const QList<ModelOption>& options) {
        QStringList result;
        for (const ModelOption& option : options)
            result << option.id + (option.builtIn ? "" : "*") + ' ' + QString::number(option.contextLength);
        return result;
    };
    const QStringList four{"gpt-3.5-turbo 4096", "gpt-3.5-turbo-16k 16384", "gpt-4 16384", "gpt-4-32k 16384"};
    EXPECT_EQ(ids(offeredModels(listed, true)),
              four + QStringList({"Alpha* 32768", "cpp* 8192", "gpt-4o* 128000", "vllm* 2048"}));
    // Another server's list is its own: nothing is left out but repeats.
    EXPECT_EQ(ids(offeredModels(listed, false)).size(), 4 + 15);
    EXPECT_EQ(ids(offeredModels({}, false)), four);

    EXPECT_TRUE(usesToolCalls("gpt-4o", true));
    EXPECT_TRUE(usesToolCalls("gpt-4", false));
    EXPECT_FALSE(usesToolCalls("gpt-4", true));
    EXPECT_EQ(decodeServerModels(R"({"data":[{"context_length":5}]})").errorText(),
              R"(Missing required key "id" at data[0])");
}

TEST_F(ValidateCredentials, ExactModelIdWithHeadersOfTheCheckedValues)
{
    server.enqueue(ScriptedResponse::text(200, modelList));
    server.enqueue(ScriptedResponse::text(200, modelList));
    // Stored credentials play no part: the checked values are the arguments.
    storeCredentials("stored-key", "stored-org");

    EXPECT_EQ(checked("sk-1", "org-9", "gpt-3.5-turbo"), Outcome::Accepted);
    // Only a dated variant is listed: not a match.
    EXPECT_EQ(checked("sk-1", "", "gpt-4"), Outcome::ModelUnavailable);

    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/v1/models");
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer sk-1");
    EXPECT_EQ(requests[0].header("OpenAI-Organization"), "org-9");
    EXPECT_FALSE(requests[1].hasHeader("OpenAI-Organization"));
}

TEST_F(ValidateCredentials, RefusalsMalformedListsAndUnsendableKeysAnswerFalse)
{
    server.enqueue(ScriptedResponse::text(401, R"({"error":{"message":"bad key"}})"));
    server.enqueue(ScriptedResponse::text(500, modelList));
    server.enqueue(ScriptedResponse::text(200, R"({"data":[{"object":"model"},{"id":"gpt-4"}]})"));
    server.enqueue(ScriptedResponse::text(200, "not json"));
    server.enqueue(ScriptedResponse::text(200, R"({"data":null})"));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(checked("sk", "", "gpt-4"), Outcome::Rejected) << "answer " << i;
    EXPECT_EQ(server.requestCount(), 5);

    // Sent as they are, the line breaks would end the header and add another one.
    server.enqueue(ScriptedResponse::text(200, modelList));
    for (const auto& keys :
         QList<QPair<QString, QString>>{{"sk-1\r\nX-Injected: 1", ""}, {"sk-1\n", ""}, {"sk-1", "org\t1"}})
        EXPECT_EQ(checked(keys.first, keys.second, "gpt-3.5-turbo"), Outcome::Rejected);
    EXPECT_EQ(server.requestCount(), 5);

    // A key the server accepts (the list still queued) is told apart from a
    // model it does not list.
    server.enqueue(ScriptedResponse::text(401, "{}"));
    const Endpoints::OpenAiServer played = Endpoints::openAiServer();
    const CredentialCheckResult unavailable =
        onWorkerThread([played] { return checkCredentials(played, "sk", "", "gpt-4o"); });
    EXPECT_EQ(unavailable.outcome, Outcome::ModelUnavailable);
    EXPECT_EQ(unavailable.models.size(), 2);
    EXPECT_EQ(checked("sk", "", "gpt-4o"), Outcome::Rejected);

    // No server at all is a transport failure, not an answer.
    qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8());
    EXPECT_EQ(checked("sk", "", "gpt-4"), Outcome::Unreachable);
}

TEST_F(CreateEmbedding, DecodesTheVectorAndSendsTheStoredCredentials)
{
    server.enqueue(ScriptedResponse::text(200, R"({"object":"list","model":"text-embedding-ada-002",
        "data":[{"object":"embedding","index":0,"embedding":[0.25,-1.5,3e-3]}],"usage":{"total_tokens":2}})"));
    storeCredentials("sk-emb", "org-1");

    const Result<OpenAiEmbeddingCreationResponse> response =
        onWorkerThread([] { return createEmbedding("héllo \"you\""); });
    ASSERT_EQ(response.ok() ? response->data.size() : -1, 1);
    EXPECT_EQ(response->data[0].embedding, (QList<float>{0.25f, -1.5f, 0.003f}));

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

TEST_F(CreateEmbedding, OtherStatusesAndBodiesOfAnotherShapeFail)
{
    storeCredentials("sk", "");
    server.enqueue(ScriptedResponse::text(429, R"({"data":[{"object":"embedding","index":0,"embedding":[1]}]})"));
    EXPECT_EQ(onWorkerThread([] { return createEmbedding("x"); }).errorText(), "The server answered with status 429");

    const QList<QByteArray> bodies{
        R"({"data":[{"index":0,"embedding":[1.0]}]})",                      // no object
        R"({"data":[{"object":"embedding","index":0.5,"embedding":[1]}]})", // fractional index
        R"({"data":[{"object":"embedding","index":0,"embedding":[1,"2"]}]})",
        R"({"data":[{"object":"embedding","index":0,"embedding":[1e300]}]})", // beyond a 32-bit float
        R"([])",
    };
    for (const QByteArray& body : bodies) {
        server.enqueue(ScriptedResponse::text(200, body));
        const QString error = onWorkerThread([] { return createEmbedding("x"); }).errorText();
        // Named by where the body went wrong, not by its status.
        EXPECT_TRUE(error.startsWith("Missing") || error.startsWith("Expected")) << error.toStdString();
    }
}

TEST_F(CreateEmbedding, NothingIsSentWithoutASendableStoredKey)
{
    server.enqueue(ScriptedResponse::text(200, R"({"data":[]})"));
    // Never stored, empty, and keys with line breaks.
    const QList<QPair<QString, QString>> credentials{
        {QString(), ""}, {"", ""}, {"sk-pasted\n", ""}, {"sk", "org\r\nX-Injected: 1"}};
    for (const auto& [key, org] : credentials) {
        if (!key.isNull())
            storeCredentials(key, org);
        EXPECT_EQ(onWorkerThread([] { return createEmbedding("x"); }).errorText(), "No sendable API key is stored")
            << key.toStdString();
    }
    EXPECT_EQ(server.requestCount(), 0);

    qputenv("VORBEL_OPENAI_URL", HttpTestServer::refusedUrl().toString().toUtf8());
    storeCredentials("sk", "");
    EXPECT_FALSE(onWorkerThread([] { return createEmbedding("x"); }).ok());
}

// A server writes the list that pickers show: hidden controls and overlong ids
// are dropped, the count and the answer's size are bounded.
TEST_F(ModelListBounds, OnlyPresentableIdsAreKeptWithinTheLimits)
{
    const QString longest(maxServerModelIdLength, QChar('a'));
    const QString longestAstral = QString::fromUcs4(std::u32string(maxServerModelIdLength, U'\U0001F600').c_str());
    for (const QString& id : {QString("mistral-7b-instrüct"), longest, longestAstral})
        EXPECT_EQ(decodeServerModels(modelListOf({id}))->size(), 1);
    for (const char16_t hidden : {u'\t', u'\n', u'\x7F', u'\x85', u'\u061C', u'\u200F', u'\u202E', u'\u2066'})
        EXPECT_TRUE(decodeServerModels(modelListOf({"gpt" + QString(QChar(hidden)) + "4"}))->isEmpty()) << int(hidden);
    EXPECT_TRUE(decodeServerModels(modelListOf({longest + 'a'}))->isEmpty());

    // Dropped entries do not count against the limit.
    QStringList many{QString("bad\x01")};
    for (int i = 0; i <= maxServerModels; ++i)
        many << QString("m%1").arg(i);
    const QList<ServerModel> listed = *decodeServerModels(modelListOf(many));
    EXPECT_EQ(listed.size() == maxServerModels ? listed.last().id : "", QString("m%1").arg(maxServerModels - 1));

    // A well-formed answer past the size limit is not read, announced or not.
    ScriptedResponse tooLarge = ScriptedResponse::text(200, R"({"data":[{"id":"gpt-4"}],"pad":")"
                                                                + QByteArray(maxServerModelsBodyBytes, 'x') + R"("})");
    const Endpoints::OpenAiServer played = Endpoints::openAiServer();
    for (const bool chunked : {false, true}) {
        tooLarge.chunked = chunked;
        server.enqueue(tooLarge);
        EXPECT_EQ(onWorkerThread([played] { return fetchModelList(played, "sk", "")->outcome; }),
                  ModelListAnswer::Outcome::Unreadable);
    }
}
