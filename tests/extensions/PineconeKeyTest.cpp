#include "core/Settings.h"
#include "extensions/MemoryExtension.h"
#include "support/HttpTestServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace {

const QString invalidCredentials =
    QStringLiteral("Your Pinecone credentials appear to be invalid. Please update in app settings.");

// The test server plays both OpenAI and the Pinecone index.
class PineconeKeyTest : public testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray base = server.baseUrl().toString().toUtf8();
        setenv("VORBEL_OPENAI_URL", base.constData(), 1);
        setenv("VORBEL_PINECONE_URL", base.constData(), 1);
        Settings& settings = Settings::instance();
        settings.setText(Settings::apiKeyKey, QStringLiteral("sk-test"));
        settings.setText(Settings::pineconeIndexKey, QStringLiteral("memories"));
        settings.setText(Settings::pineconeEnvironmentKey, QStringLiteral("us-east1-gcp"));
        server.setHandler([](const RecordedRequest& request) {
            if (request.path == "/v1/embeddings")
                return ScriptedResponse::text(200, R"({"data":[{"embedding":[0.5],"index":0,"object":"embedding"}]})");
            if (request.path == "/vectors/upsert")
                return ScriptedResponse::text(200, R"({"upsertedCount":1})");
            return ScriptedResponse::text(200, "{}");
        });
    }
    void TearDown() override
    {
        unsetenv("VORBEL_OPENAI_URL");
        unsetenv("VORBEL_PINECONE_URL");
        for (const QString& key : Settings::textKeys())
            Settings::instance().remove(key);
    }

    // Off the UI thread, as the framework runs it.
    static QString call(QString (*execution)(const std::optional<QString>&), const std::optional<QString>& arguments)
    {
        return std::async(std::launch::async, [=] { return execution(arguments); }).get();
    }

    int pineconeRequests() const
    {
        int count = 0;
        for (const RecordedRequest& request : server.requests())
            count += request.path != "/v1/embeddings" ? 1 : 0;
        return count;
    }

    HttpTestServer server;
};

} // namespace

TEST_F(PineconeKeyTest, AKeyHoldingALineBreakIsNeverSent)
{
    Settings::instance().setText(Settings::pineconeApiKeyKey, QStringLiteral("pc-key\r\nX-Injected: yes"));
    EXPECT_EQ(call(executeResetMemories, std::nullopt), invalidCredentials);
    EXPECT_EQ(call(executeUpsertMemory, QString(R"({"memory":"likes tea"})")), invalidCredentials);
    EXPECT_EQ(pineconeRequests(), 0);
    for (const RecordedRequest& request : server.requests())
        EXPECT_FALSE(request.hasHeader("X-Injected"));

    // The same key without the pasted line break goes through.
    Settings::instance().setText(Settings::pineconeApiKeyKey, QStringLiteral("pc-key"));
    EXPECT_EQ(call(executeResetMemories, std::nullopt), QStringLiteral("Successfully reset all memories"));
    ASSERT_EQ(pineconeRequests(), 1);
    EXPECT_EQ(server.requests().constLast().header("Api-Key"), "pc-key");
}
