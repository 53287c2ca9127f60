#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace extensiontest;

namespace {

class ExtensionRegistryTest : public testing::Test {
protected:
    void SetUp() override { clearExtensionSettings(); }
    void TearDown() override { clearExtensionSettings(); }

    static QStringList enabledNames()
    {
        QStringList names;
        for (const ApiFunction& function : enabledFunctionDefinitions())
            names << function.name;
        return names;
    }
};

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

TEST_F(ExtensionRegistryTest, RegistryHoldsFourExtensionsAndSevenFunctionsInOrder)
{
    const QList<CustomExtension> extensions = allExtensions();
    QStringList ids;
    QStringList apiNames;
    QStringList confirmed;
    for (const CustomExtension& extension : extensions) {
        ids << extension.id;
        for (const CustomFunction& function : extension.functions) {
            apiNames << function.apiDefinition.name;
            if (function.requiresConfirmation)
                confirmed << function.apiDefinition.name;
            EXPECT_TRUE(function.execution);
            EXPECT_TRUE(function.preview);
        }
    }
    EXPECT_EQ(ids, QStringList({"jsExecution", "wolframAlphaRequest", "cliExecution", "memoryFunction"}));
    EXPECT_EQ(apiNames, QStringList({"jsExecution", "wolframAlphaRequest", "cliExecution", "upsertMemory",
                                     "getMemory", "deleteMemory", "resetMemories"}));
    EXPECT_EQ(confirmed, QStringList({"cliExecution", "resetMemories"}));
}

TEST_F(ExtensionRegistryTest, DefinitionsEncodeWithEveryFieldAndNoNulls)
{
    const auto upsert = findFunction(QStringLiteral("upsertMemory"));
    ASSERT_TRUE(upsert);
    const QJsonObject json = upsert->apiDefinition.toJson();
    EXPECT_EQ(json.value("parameters").toObject().value("required").toArray(), QJsonArray({"memory"}));
    EXPECT_EQ(compact(json.value("parameters").toObject().value("properties").toObject().value("memory").toObject()),
              R"({"description":"The piece of information to save.","type":"string"})");

    // An empty parameter list still writes the object and the array.
    const auto reset = findFunction(QStringLiteral("resetMemories"));
    ASSERT_TRUE(reset);
    EXPECT_EQ(compact(reset->apiDefinition.toJson()),
              R"({"description":"Deletes all memories","name":"resetMemories",)"
              R"("parameters":{"properties":{},"required":[],"type":"object"}})");

    Property choice{"string", std::nullopt, QStringList{"a", "b"}};
    EXPECT_EQ(compact(choice.toJson()), R"({"enum":["a","b"],"type":"string"})");
}

TEST_F(ExtensionRegistryTest, StoredFlagsCountOnlyWhileTheExtensionMayBeEnabled)
{
    // Nothing stored: exactly the JavaScript definition.
    const QList<ApiFunction> definitions = enabledFunctionDefinitions();
    ASSERT_EQ(definitions.size(), 1);
    EXPECT_EQ(definitions.first(), findFunction(QStringLiteral("jsExecution"))->apiDefinition);
    EXPECT_EQ(definitions.first().description,
              "Evaluates the provided JS script using Swift's JSContext. Multi-line code is encouraged for "
              "readability. No async code is supported");

    Settings& settings = Settings::instance();
    // Ticked with an empty App ID: not offered until an App ID is stored.
    settings.setBool(Settings::extensionEnabledKey("wolframAlphaRequest"), true);
    settings.setText(Settings::wolframAlphaAppIdKey, QString());
    EXPECT_FALSE(isExtensionEnabled("wolframAlphaRequest"));
    EXPECT_EQ(enabledNames(), QStringList({"jsExecution"}));
    settings.setText(Settings::wolframAlphaAppIdKey, "APP-1");
    EXPECT_TRUE(isExtensionEnabled("wolframAlphaRequest"));
    EXPECT_EQ(enabledNames(), QStringList({"jsExecution", "wolframAlphaRequest"}));

    // Unticking JavaScript stores false and removes it.
    settings.setBool(Settings::extensionEnabledKey("jsExecution"), false);
    EXPECT_EQ(enabledNames(), QStringList({"wolframAlphaRequest"}));

    // The shell may always be enabled; memory needs a key, and then brings all four functions.
    settings.setBool(Settings::extensionEnabledKey("cliExecution"), true);
    settings.setBool(Settings::extensionEnabledKey("memoryFunction"), true);
    EXPECT_EQ(enabledNames(), QStringList({"wolframAlphaRequest", "cliExecution"}));
    settings.setText(Settings::pineconeApiKeyKey, "pc-key");
    EXPECT_EQ(enabledNames(), QStringList({"wolframAlphaRequest", "cliExecution", "upsertMemory", "getMemory",
                                           "deleteMemory", "resetMemories"}));

    EXPECT_FALSE(isExtensionEnabled("noSuchExtension"));
    // An App ID removed again disables the extension whatever is ticked.
    settings.remove(Settings::wolframAlphaAppIdKey);
    EXPECT_FALSE(isExtensionEnabled("wolframAlphaRequest"));
}

TEST_F(ExtensionRegistryTest, LookupIgnoresTheEnabledStateAndMatchesExactly)
{
    ASSERT_FALSE(isExtensionEnabled("memoryFunction"));
    const auto reset = findFunction(QStringLiteral("resetMemories"));
    ASSERT_TRUE(reset);
    EXPECT_EQ(reset->name, "Delete all memories");
    EXPECT_TRUE(reset->requiresConfirmation);
    EXPECT_FALSE(findFunction(QStringLiteral("ResetMemories")));
    EXPECT_FALSE(findFunction(QStringLiteral("")));
    EXPECT_FALSE(findFunction(std::nullopt));
}
