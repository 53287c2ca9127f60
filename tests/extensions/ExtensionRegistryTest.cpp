#include "ExtensionTestSupport.h"

#include "extensions/ExtensionRegistry.h"

namespace {

QStringList enabledNames()
{
    QStringList names;
    for (const ApiFunction& function : enabledFunctionDefinitions())
        names << function.name;
    return names;
}

QString previewOf(const std::optional<QString>& apiName, const std::optional<QString>& arguments)
{
    StoreContext context(SqliteStore::openInMemory());
    const MessagePtr call = makeMessage(context, "assistant", QString(), context.insertConversation(), apiName, true);
    call->setFunctionArguments(arguments);
    return functionPreview(*call);
}

QByteArray compact(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

} // namespace

TEST(ExtensionRegistry, OrderConfirmationEncodingAndExactLookup)
{
    clearExtensionSettings();
    QStringList functions; // extension/function, "!" when it waits for confirmation
    for (const CustomExtension& extension : allExtensions())
        for (const CustomFunction& function : extension.functions)
            functions << extension.id + "/" + function.apiDefinition.name + (function.requiresConfirmation ? "!" : "");
    EXPECT_EQ(functions,
              QStringList({"jsExecution/jsExecution", "wolframAlphaRequest/wolframAlphaRequest",
                           "cliExecution/cliExecution!", "memoryFunction/upsertMemory", "memoryFunction/getMemory",
                           "memoryFunction/deleteMemory", "memoryFunction/resetMemories!"}));
    // Found whether enabled or not, by the exact name only.
    EXPECT_EQ(findFunction(QStringLiteral("resetMemories"))->name, "Delete all memories");
    EXPECT_FALSE(findFunction(QString("ResetMemories")) || findFunction(QString("")) || findFunction(std::nullopt));

    // Every field is written, empty ones too; absent optional ones are left out.
    EXPECT_EQ(compact(findFunction(QStringLiteral("resetMemories"))->apiDefinition.toJson()),
              R"({"description":"Deletes all memories","name":"resetMemories",)"
              R"("parameters":{"properties":{},"required":[],"type":"object"}})");
    EXPECT_EQ(compact(Property{"string", std::nullopt, QStringList{"a", "b"}}.toJson()),
              R"({"enum":["a","b"],"type":"string"})");
    EXPECT_EQ(compact(Property{"string", "d", std::nullopt}.toJson()), R"({"description":"d","type":"string"})");
}

TEST(ExtensionRegistry, StoredFlagsCountOnlyWhileTheExtensionMayBeEnabled)
{
    clearExtensionSettings();
    Settings& settings = Settings::instance();
    // Ticked with an empty App ID: not offered until an App ID is stored.
    settings.setBool(Settings::extensionEnabledKey("wolframAlphaRequest"), true);
    settings.setText(Settings::wolframAlphaAppIdKey, QString());
    EXPECT_EQ(enabledNames(), QStringList({"jsExecution"}));
    settings.setText(Settings::wolframAlphaAppIdKey, "APP-1");
    EXPECT_EQ(enabledNames(), QStringList({"jsExecution", "wolframAlphaRequest"}));

    // JavaScript unticked; the shell may always be enabled; memory needs a key.
    for (const auto& [id, on] : {std::pair("jsExecution", false), {"cliExecution", true}, {"memoryFunction", true}})
        settings.setBool(Settings::extensionEnabledKey(id), on);
    EXPECT_EQ(enabledNames(), QStringList({"wolframAlphaRequest", "cliExecution"}));
    settings.setText(Settings::pineconeApiKeyKey, "pc-key");
    EXPECT_EQ(enabledNames(), QStringList({"wolframAlphaRequest", "cliExecution", "upsertMemory", "getMemory",
                                           "deleteMemory", "resetMemories"}));

    EXPECT_FALSE(isExtensionEnabled("noSuchExtension"));
}

TEST(FunctionPreview, EachFunctionShowsWhatIsAboutToRunAndNeverHidesIt)
{
    const QString pretty = "{\n  \"memory\": \"likes tea\"\n}";
    const struct {
        std::optional<QString> function, arguments;
        QString expected;
    } cases[] = {
        // Pretty-printed arguments lose their wrapping and keep their escapes.
        {"cliExecution", "{\n  \"command\": \"ls -la\"\n}", "Executing\n```\nls -la\n````"},
        {"jsExecution", "{\n  \"script\": \"let a = 1;\\na + \\\"x\\\"\"\n}",
         "Executing\n```\nlet a = 1;\\na + \\\"x\\\"\n````"},
        {"wolframAlphaRequest", "{\n  \"prompt\": \"2 + 2\"\n}", "Requesting from Wolfram Alpha\n```\n2 + 2\n````"},
        {"cliExecution", R"({"command":"rm -rf ~/tmp"})", "Executing\n```\nrm -rf ~/tmp\n````"}, // compact: the value
        {"upsertMemory", pretty, "Saving in memory\n```\n" + pretty + "\n````"},
        {"getMemory", std::nullopt, "Getting memory\n```\n\n````"},
        {"deleteMemory", R"({"ids":"a, b"})", "Removing memories\n```\n{\"ids\":\"a, b\"}\n````"},
        {"resetMemories", "{}", "Removing all memories"},
        {"noSuchFunction", "{}", ""},
        // The closing quote and brace go only when they end the text.
        {"cliExecution", "{\n  \"command\": \"ls\"\n}\n", "Executing\n```\nls\"\n}\n\n````"},
        // Another key, a non-text value or no JSON at all: the raw text, never nothing.
        {"cliExecution", R"({"cmd":"ls"})", "Executing\n```\n{\"cmd\":\"ls\"}\n````"},
        {"cliExecution", R"({"command":5})", "Executing\n```\n{\"command\":5}\n````"},
        {"cliExecution", "ls; {", "Executing\n```\nls; {\n````"},
        {"cliExecution", std::nullopt, "Executing\n```\n\n````"},
        // A fence inside cannot end the block early: the block's fence outruns it.
        {"cliExecution", R"({"command":"ls\n```\n# owned"})", "Executing\n````\nls\n```\n# owned\n`````"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(previewOf(c.function, c.arguments), c.expected) << c.function.value_or("(none)").toStdString();
}
