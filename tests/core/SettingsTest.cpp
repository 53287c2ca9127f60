#include "core/Settings.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { QSettings("Vorbel", "Vorbel").clear(); }
    Settings& settings = Settings::instance();
};

TEST_F(SettingsTest, DefaultsAbsentAndEmptyAreDistinct)
{
    EXPECT_EQ(settings.model(), "gpt-3.5-turbo");
    EXPECT_EQ(settings.apiKey(), "");
    EXPECT_FALSE(settings.storedText("woframAlphaAppId").has_value());
    EXPECT_FALSE(settings.storedBool(Settings::extensionEnabledKey("jsExecution")).has_value());

    settings.setText("woframAlphaAppId", "");
    ASSERT_TRUE(settings.storedText("woframAlphaAppId").has_value());
    EXPECT_TRUE(settings.storedText("woframAlphaAppId")->isEmpty());
    settings.setText("model", "");
    EXPECT_EQ(settings.model(), ""); // a stored empty text is not replaced by the default

    settings.setBool("custom_function_cliExecution_enabled", false);
    EXPECT_EQ(settings.storedBool("custom_function_cliExecution_enabled"), false);
    settings.setBool("custom_function_cliExecution_enabled", true);
    EXPECT_EQ(settings.storedBool("custom_function_cliExecution_enabled"), true);
}

TEST_F(SettingsTest, KeysAreStoredUnderTheirExactTextsAndWritesAreSignalled)
{
    QSignalSpy changed(&settings, &Settings::valueChanged);
    settings.setText(Settings::pineconeApiKeyKey, "pc-key");
    settings.setText(Settings::wolframAlphaAppIdKey, "APPID");
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(0).at(0).toString(), "pineconeAPiKey");
    EXPECT_EQ(changed.at(1).at(0).toString(), "woframAlphaAppId");

    // Written by an earlier run under the same keys: read back as stored.
    QSettings raw("Vorbel", "Vorbel");
    EXPECT_EQ(raw.value("pineconeAPiKey").toString(), "pc-key");
    raw.setValue("cliAppShell", "bin/zsh");
    raw.sync();
    EXPECT_EQ(settings.text("cliAppShell"), "bin/zsh");

    EXPECT_TRUE(Settings::isKnownKey("custom_function_memoryFunction_enabled"));
    EXPECT_FALSE(Settings::isKnownKey("custom_function__enabled"));
    EXPECT_FALSE(Settings::isKnownKey("pineconeApiKey"));
}
