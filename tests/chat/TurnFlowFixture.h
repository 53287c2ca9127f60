#pragma once

// A conversation with its controller, a store in a temporary folder and a
// test server playing OpenAI, for tests of whole turns.

#include "chat/ConversationController.h"
#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "store/DataController.h"
#include "store/StoreOperations.h"
#include "support/ChatCompletionStream.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Sse;

class TurnFlowTest : public testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        Settings::instance().setText(Settings::apiKeyKey, "sk-test");
        Settings::instance().setText(Settings::orgKeyKey, "");
        store = std::make_unique<DataController>(dir.path() + "/Vorbel.sqlite");
        assistant = createAssistant(context(), "Ada", "You are terse.", "https://example.com/a.png");
        conversation = createConversation(context(), assistant);
        controller = std::make_unique<ConversationController>(context(), conversation);
        finished = std::make_unique<QSignalSpy>(controller.get(), &ConversationController::turnFinished);
    }
    void TearDown() override
    {
        setExecutionOverrideForTesting("jsExecution", {});
        setExecutionOverrideForTesting("cliExecution", {});
        finished.reset();
        controller.reset();
        qunsetenv("VORBEL_OPENAI_URL");
        Settings::instance().remove(Settings::modelKey);
        Settings::instance().remove(Settings::openAiBaseUrlKey);
        Settings::instance().remove(Settings::extensionEnabledKey("cliExecution"));
    }

    StoreContext& context() { return store->storeContext(); }
    std::vector<MessagePtr> messages() { return orderedMessages(*conversation); }
    // Role and content of each message, marked when done.
    QStringList summary()
    {
        QStringList lines;
        for (const MessagePtr& m : messages())
            lines << m->role().value_or("") + ' ' + m->content().value_or("") + (m->done() ? " (done)" : "");
        return lines;
    }
    // The shell offered, so its calls ask rather than count as unknown.
    void offerShell() { Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), true); }
    // Until `count` turns of the fixture's controller have ended in all.
    bool waitForTurns(int count)
    {
        return QTest::qWaitFor([&] { return finished->count() >= count; }, 10000);
    }

    HttpTestServer server;
    QTemporaryDir dir;
    std::unique_ptr<DataController> store;
    AssistantPtr assistant;
    ConversationPtr conversation;
    std::unique_ptr<ConversationController> controller;
    std::unique_ptr<QSignalSpy> finished;
};
