#pragma once

#include "QuickTestHelpers.h"
#include "app/VorbelApplication.h"
#include "core/Settings.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quicktest;

// Each test starts from an empty store, a stored API key (so no welcome
// cover) and no catalogue address (the built-in catalogue is merged, no
// network).
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VORBEL_UPDATE_FEED_URL");
        unsetenv("VORBEL_CATALOGUE_URL");
        setenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()).constData(), 1);
        setenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()).constData(), 1);
        for (const QString& key : Settings::textKeys())
            Settings::instance().remove(key);
        Settings::instance().setText(Settings::apiKeyKey, QStringLiteral("sk-test"));
        m_app = std::make_unique<VorbelApplication>();
    }

    QQuickWindow* open()
    {
        QQuickWindow* window = m_app->openMainWindow();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return window;
    }

    StoreContext& store() { return m_app->viewContext(); }
    UiState& uiState() { return m_app->uiState(); }

    QTemporaryDir m_data;
    QTemporaryDir m_config;
    std::unique_ptr<VorbelApplication> m_app;
};
