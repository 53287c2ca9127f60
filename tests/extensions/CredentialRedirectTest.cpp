#include "ExtensionTestSupport.h"

#include "chat/ChatReply.h"
#include "chat/OpenAiService.h"
#include "extensions/PineconeClient.h"
#include "extensions/WolframAlphaExtension.h"
#include "openai/OpenAiRequests.h"

#include <QSignalSpy>

namespace {

using CredentialRedirect = ServiceTest;

// What a blocking call answers, or the failure it raises, taken off the UI thread.
QString outcomeOf(QString (*call)())
{
    return std::async(std::launch::async,
                      [call] {
                          try {
                              return call();
                          } catch (const std::exception& error) {
                              return QString::fromUtf8(error.what());
                          }
                      })
        .get();
}

QString chatOutcome()
{
    QObject owner;
    QSignalSpy failed(OpenAiService::sendChat("", {}, &owner), &ChatReply::failed);
    return failed.wait(20000) ? failed.at(0).at(0).toString() : QString("no failure");
}

} // namespace

// Every request that carries a key answers a redirect to another host with its
// usual failure, and the other host hears nothing.
TEST_F(CredentialRedirect, RedirectsAreRefusedAndReachNoOtherHost)
{
    HttpTestServer elsewhere(QStringLiteral("127.0.0.2"));
    Settings::instance().setText(Settings::orgKeyKey, "org-1");
    Settings::instance().setText(Settings::wolframAlphaAppIdKey, "APP-1");
    const struct {
        QByteArray path;
        QString (*run)();
        QString failure;
    } rows[] = {
        {"/v1/chat/completions", chatOutcome, OpenAiService::genericErrorText},
        {"/v1/models",
         [] {
             return outcomeOf([] {
                 return QString::number(int(checkCredentials(Endpoints::openAiServer(), "sk", "o", "m").outcome));
             });
         },
         QString::number(int(CredentialCheckResult::Outcome::Rejected))},
        {"/v1/embeddings",
         [] { return outcomeOf([] { return createEmbedding("x").errorText().section(' ', 0, -2); }); },
         "The server answered with status"},
        {"/query", [] { return outcomeOf([] { return Pinecone::queryVectors({0.5f}).matches.value(0).id; }); },
         "InvalidCredentials"},
        {"/v1/result", [] { return callOffUiThread(executeWolframAlphaRequest, argumentsWith("prompt", "1")); },
         "Unable to run script"},
    };
    for (const auto& row : rows) {
        for (const int status : {302, 307}) {
            SCOPED_TRACE(row.path.toStdString() + ' ' + std::to_string(status));
            ScriptedResponse redirect = ScriptedResponse::text(status, "moved", "text/plain");
            redirect.headers.append({"Location", elsewhere.baseUrl().toEncoded() + row.path});
            answer(row.path, redirect);
            const qsizetype asked = requestsTo(row.path).size();
            EXPECT_EQ(row.run(), row.failure);
            EXPECT_EQ(requestsTo(row.path).size(), asked + 1);
            EXPECT_EQ(requestsTo(row.path).last().header("user-agent"), "Vorbel/" VORBEL_VERSION " (Linux)");
            EXPECT_EQ(elsewhere.requestCount(), 0);
        }
    }
}
