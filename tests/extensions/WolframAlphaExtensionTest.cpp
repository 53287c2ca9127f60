#include "ExtensionTestSupport.h"

#include "extensions/WolframAlphaExtension.h"

namespace {

using WolframAlphaExtensionTest = ServiceTest;

QString ask(const std::optional<QString>& arguments) { return callOffUiThread(executeWolframAlphaRequest, arguments); }

} // namespace

TEST_F(WolframAlphaExtensionTest, QueryIsPercentEncodedFromUtf8AndTheBodyIsTheAnswer)
{
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "APP-1");
    answer("/v1/result", ScriptedResponse::text(200, "caf\xC3\xA9 \xFF", "text/plain"));
    const QList<QPair<QString, QByteArray>> cases{{"2 + 2", "2%20%2B%202"},
                                                  {"salt & pepper?", "salt%20%26%20pepper%3F"},
                                                  {"café", "caf%C3%A9"},
                                                  {"A-z_0.9~/=#", "A-z_0.9~%2F%3D%23"}};
    for (const auto& [prompt, encoded] : cases) {
        // Invalid UTF-8 in the body is replaced.
        EXPECT_EQ(ask(argumentsWith("prompt", prompt)), QString::fromUtf8("café ") + QChar(0xFFFD));
        const RecordedRequest request = server.requests().last();
        EXPECT_EQ(request.method + " " + request.path + request.body, "GET /v1/result?i=" + encoded + "&appid=APP-1");
    }
    // Line feeds between tokens are JSON white space.
    answer("/v1/result", ScriptedResponse::text(200, "4", "text/plain"));
    EXPECT_EQ(ask(QString("{\n  \"prompt\":\n  \"coffee\"\n}")), "4");
}

TEST_F(WolframAlphaExtensionTest, FailuresAnswerFixedTextsAndSendNothingThatWasNotAsked)
{
    const QString prompt = argumentsWith("prompt", "2 + 2");
    EXPECT_EQ(ask(prompt), "Missing Wolfram Alpha App ID. Please enter it in the settings of the app.");
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "bad id"); // breaks the address
    for (const auto& arguments : {std::optional<QString>(), std::optional<QString>(R"({"query": "x"})"),
                                  std::optional<QString>("2 + 2"), std::optional<QString>(prompt)})
        EXPECT_EQ(ask(arguments), "Unable to run script");
    EXPECT_EQ(server.requestCount(), 0);

    // An empty App ID is still sent, and an error status answers with its body.
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "");
    answer("/v1/result", ScriptedResponse::text(501, "Error 1: Invalid appid", "text/plain"));
    EXPECT_EQ(ask(prompt), "Error 1: Invalid appid");
    EXPECT_EQ(server.requests().value(0).path, "/v1/result?i=2%20%2B%202&appid=");

    setenv("VORBEL_WOLFRAM_URL", HttpTestServer::refusedUrl().toString().toUtf8().constData(), 1);
    EXPECT_EQ(ask(prompt), "Unable to run script");
}
