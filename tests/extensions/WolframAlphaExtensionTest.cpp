#include "ExtensionTestSupport.h"

#include "extensions/WolframAlphaExtension.h"
#include "support/HttpTestServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

using namespace extensiontest;

namespace {

class WolframAlphaExtensionTest : public testing::Test {
protected:
    void SetUp() override
    {
        clearExtensionSettings();
        setenv("VORBEL_WOLFRAM_URL", server.baseUrl().toString().toUtf8().constData(), 1);
    }
    void TearDown() override
    {
        unsetenv("VORBEL_WOLFRAM_URL");
        clearExtensionSettings();
    }

    // Off the UI thread, as the framework runs it.
    static QString ask(const std::optional<QString>& arguments)
    {
        return std::async(std::launch::async, [arguments] { return executeWolframAlphaRequest(arguments); }).get();
    }
    static QString askPrompt(const QString& prompt)
    {
        return ask(QString::fromUtf8(QJsonDocument(QJsonObject{{"prompt", prompt}}).toJson(QJsonDocument::Compact)));
    }

    HttpTestServer server;
};

} // namespace

TEST_F(WolframAlphaExtensionTest, QueryIsPercentEncodedFromUtf8ByteByByte)
{
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "APP-1");
    const QList<QPair<QString, QByteArray>> cases{{"2 + 2", "2%20%2B%202"},
                                                 {"salt & pepper?", "salt%20%26%20pepper%3F"},
                                                 {"café", "caf%C3%A9"},
                                                 {"A-z_0.9~/=#", "A-z_0.9~%2F%3D%23"}};
    for (const auto& [prompt, encoded] : cases) {
        SCOPED_TRACE(prompt.toStdString());
        server.enqueue(ScriptedResponse::text(200, "4", "text/plain"));
        EXPECT_EQ(askPrompt(prompt), "4");
        const RecordedRequest request = server.requests().last();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.path, "/v1/result?i=" + encoded + "&appid=APP-1");
        EXPECT_TRUE(request.body.isEmpty());
    }
    EXPECT_EQ(server.requestCount(), 4);
    EXPECT_EQ(percentEncodeQueryValue(QString::fromUtf8("\xF0\x9F\x98\x80")), "%F0%9F%98%80");
}

TEST_F(WolframAlphaExtensionTest, AbsentAppIdSendsNothingWhileAnEmptyOneIsSent)
{
    EXPECT_EQ(askPrompt("2 + 2"), "Missing Wolfram Alpha App ID. Please enter it in the settings of the app.");
    EXPECT_EQ(server.requestCount(), 0);

    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "");
    server.enqueue(ScriptedResponse::text(501, "Error 1: Invalid appid", "text/plain"));
    // An error status still answers with its body.
    EXPECT_EQ(askPrompt("2 + 2"), "Error 1: Invalid appid");
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).path, "/v1/result?i=2%20%2B%202&appid=");
}

TEST_F(WolframAlphaExtensionTest, ArgumentsAndTransportFailuresAnswerUnableToRunScript)
{
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "APP-1");
    EXPECT_EQ(ask(std::nullopt), "Unable to run script");
    EXPECT_EQ(ask(QString("{\"query\": \"x\"}")), "Unable to run script");
    EXPECT_EQ(ask(QString("2 + 2")), "Unable to run script");
    EXPECT_EQ(server.requestCount(), 0);

    // Line feeds between tokens are JSON white space; invalid UTF-8 in the body is replaced.
    server.enqueue(ScriptedResponse::text(200, "caf\xC3\xA9 \xFF", "text/plain"));
    EXPECT_EQ(ask(QString("{\n  \"prompt\":\n  \"coffee\"\n}")), QString::fromUtf8("café ") + QChar(0xFFFD));

    // An App ID that breaks the address is refused before anything is sent.
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "bad id");
    EXPECT_EQ(askPrompt("2 + 2"), "Unable to run script");
    EXPECT_EQ(server.requestCount(), 1);

    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "APP-1");
    setenv("VORBEL_WOLFRAM_URL", HttpTestServer::refusedUrl().toString().toUtf8().constData(), 1);
    EXPECT_EQ(askPrompt("2 + 2"), "Unable to run script");
}
