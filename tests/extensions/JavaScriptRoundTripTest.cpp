#include "ExtensionTestSupport.h"

#include "chat/ConversationController.h"
#include "extensions/ExtensionRegistry.h"
#include "store/DataController.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace extensiontest;

// The model asks for a script, the real JavaScript extension runs it, and the
// result goes back to the model in the next request.
TEST(JavaScriptRoundTrip, ScriptResultGoesBackToTheModel)
{
    clearExtensionSettings();
    HttpTestServer server;
    qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
    Settings::instance().setText(Settings::apiKeyKey, "sk-test");

    server.enqueue(sse::functionCall("jsExecution", {"{\n  \"script\": \"[1, 2, 3].map(", "x => x * 7)\"\n}"}, 5));
    server.enqueue(sse::reply({"7, 14 and 21."}, 5));

    QTemporaryDir dir;
    DataController store(dir.path() + "/Vorbel.sqlite");
    StoreContext& context = store.viewContext();
    const AssistantPtr assistant = createAssistant(context, "Ada", "You compute.", QString());
    const ConversationPtr conversation = createConversation(context, assistant);
    ConversationController controller(context, conversation);
    QSignalSpy finished(&controller, &ConversationController::turnFinished);
    controller.submit("Multiply each by seven");
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2; }));
    ASSERT_EQ(server.requestCount(), 2);

    const QJsonObject first = QJsonDocument::fromJson(server.requests().at(0).body).object();
    EXPECT_EQ(first.value("functions").toArray().size(), 1);
    EXPECT_EQ(first.value("functions").toArray().at(0).toObject().value("name").toString(), "jsExecution");

    const QJsonArray sent = sse::sentMessages(server.requests().at(1));
    ASSERT_EQ(sent.size(), 4);
    EXPECT_EQ(sent[3].toObject(),
              QJsonObject({{"role", "function"}, {"name", "jsExecution"}, {"content", "[7,14,21]"}}));
    const std::vector<MessagePtr> messages = orderedMessages(*conversation);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1]->functionResult(), QString("[7,14,21]"));
    EXPECT_EQ(messages[2]->content(), QString("7, 14 and 21."));
    EXPECT_FALSE(context.hasChanges());

    qunsetenv("VORBEL_OPENAI_URL");
    clearExtensionSettings();
}
