#pragma once

#include "QuickTestHelpers.h"
#include "app/VorbelApplication.h"
#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "openai/AccountModels.h"
#include "support/HttpTestServer.h"
#include "support/ModelTester.h"
#include "ui/conversation/ConversationViewController.h"

#include <QFile>
#include <QTemporaryDir>

using namespace QuickTest;

// Each test starts from an empty store, a stored API key (so no welcome
// cover), no catalogue address (the built-in catalogue is merged, no network)
// and `server` playing OpenAI's; the start-up read of the model list is over
// (the server answered 404: no models) before the test begins.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VORBEL_UPDATE_FEED_URL");
        unsetenv("VORBEL_CATALOGUE_URL");
        qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
        setenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()).constData(), 1);
        setenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()).constData(), 1);
        // The settings file of the process outlives each test's folders.
        for (const QString& key : Settings::textKeys())
            Settings::instance().remove(key);
        for (const CustomExtension& extension : allExtensions())
            Settings::instance().remove(Settings::extensionEnabledKey(extension.id));
        Settings::instance().setText(Settings::apiKeyKey, QStringLiteral("sk-test"));
        QSignalSpy listed(&AccountModels::instance(), &AccountModels::refreshFinished);
        m_app = std::make_unique<VorbelApplication>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return listed.count() > 0; }, 5000));
    }
    void TearDown() override { qunsetenv("VORBEL_OPENAI_URL"); }

    QQuickWindow* open()
    {
        QQuickWindow* window = m_app->openMainWindow();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        watchLists(window);
        return window;
    }

    // The sidebar's lists and each conversation's messages, under Qt's model tester.
    static void watchLists(QQuickWindow* window)
    {
        auto* controller = window ? window->property("controller").value<QObject*>() : nullptr;
        if (!controller)
            return;
        for (const char* list : {"conversations", "assistants"})
            watch(controller->property(list).value<QAbstractItemModel*>());
        auto* view = controller->property("conversationView").value<ConversationViewController*>();
        const auto watchMessages = [view] { watch(view->messages()); };
        watchMessages();
        QObject::connect(view, &ConversationViewController::conversationChanged, view, watchMessages);
    }

    StoreContext& store() { return m_app->storeContext(); }
    UiState& uiState() { return m_app->uiState(); }

    HttpTestServer server;
    QTemporaryDir m_data;
    QTemporaryDir m_config;
    std::unique_ptr<VorbelApplication> m_app;
};
