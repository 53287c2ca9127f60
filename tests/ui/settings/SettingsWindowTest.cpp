#include "MainWindowFixture.h"
#include "extensions/ExtensionRegistry.h"
#include "extensions/ToolServerManager.h"
#include "store/StoreOperations.h"
#include "support/ModelTester.h"
#include "ui/common/ThemePalette.h"
#include "ui/mainwindow/MainWindowFactory.h"
#include "ui/settings/SettingsWindow.h"

#include <QBuffer>
#include <QImage>

namespace {

QString text(QQuickItem* item) { return item ? item->property("text").toString() : QStringLiteral("<missing>"); }

// The assistant list's row titles, top to bottom.
QStringList rowTitles(QQuickWindow* window)
{
    settle(window); // rows just added get their delegates
    QStringList titles;
    for (int row = 0; QQuickItem* found = item(window, QStringLiteral("assistantRow_%1").arg(row)); ++row)
        titles << text(found);
    return titles;
}

QStringList definitionNames()
{
    QStringList names;
    for (const ApiFunction& function : enabledFunctionDefinitions())
        names << function.name;
    return names;
}

// The settings window, with `server` playing OpenAI's.
class SettingsWindowTest : public MainWindowTest {
protected:
    QQuickWindow* openSettings(int tab = 0)
    {
        QQuickWindow* window = SettingsWindow::showShared(store());
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        window->requestActivate(); // shortcuts go to the active window
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        if (tab > 0 && window)
            find(window, "settingsTabs")->setProperty("currentIndex", tab);
        settle(window);
        for (const char* list : {"assistantList", "extensionList"}) {
            if (QObject* view = window ? find(window, list) : nullptr)
                watch(view->property("model").value<QAbstractItemModel*>());
        }
        return window;
    }
};

} // namespace

TEST_F(SettingsWindowTest, OneWindowOpensOnAssistantsAndAClosedOneStartsAfreshAndGoesWithTheLastMainWindow)
{
    QQuickWindow* main = open();
    QMetaObject::invokeMethod(find(main, "settingsAction"), "trigger");
    QQuickWindow* window = SettingsWindow::shared();
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    QObject* tabs = find(window, "settingsTabs");
    EXPECT_EQ(tabs->property("currentIndex").toInt(), 0);
    EXPECT_FALSE(item(window, "minusButton")->isEnabled());
    tabs->setProperty("currentIndex", 2);
    click(main, item(main, "addAssistantLink")); // opening again raises the same window
    EXPECT_EQ(SettingsWindow::shared(), window);
    EXPECT_EQ(tabs->property("currentIndex").toInt(), 2);
    window->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return !SettingsWindow::shared(); }));
    EXPECT_EQ(find(openSettings(), "settingsTabs")->property("currentIndex").toInt(), 0);
    main->close(); // alone, the settings window would leave the app running with no menu
    EXPECT_TRUE(QTest::qWaitFor([] { return !SettingsWindow::shared(); }));
}

TEST_F(SettingsWindowTest, TheAddFormNamesTheFirstFailingRuleAndAddsInNameOrder)
{
    createAssistant(store(), "Zed", "p", QString());
    createAssistant(store(), "Bob", "p", QString());
    QQuickWindow* window = openSettings();
    QQuickItem* submit = item(window, "addSubmitButton");
    const QString picture = server.baseUrl().toString() + "/a.png"; // the list loads it: never off this machine
    const struct {
        QString name, prompt, picture, problem;
    } cases[] = {
        {"", "", "", "Name is required"},
        {"Carl", "", "", "Personality is required"},
        {"Carl", "Be kind.", "", "Picture URL is required"},
        {"Carl", "Be kind.", "ftp://x.org/a.png", "Picture URL needs to start with http:// or https://"},
        {"Carl", "Be kind.", "HTTPS://x.org/a.png", "Picture URL needs to start with http:// or https://"},
        {"   ", "", picture, "Personality is required"}, // spaces are a name
        {"Carl", "Be kind.", picture, ""},
    };
    for (const auto& c : cases) {
        type(window, item(window, "addNameField"), c.name);
        type(window, item(window, "addPromptField"), c.prompt);
        type(window, item(window, "addPictureField"), c.picture);
        EXPECT_EQ(submit->isEnabled(), c.problem.isEmpty()) << c.problem.toStdString();
        EXPECT_EQ(text(item(window, "addProblem")), c.problem);
    }
    click(window, submit);
    EXPECT_EQ(rowTitles(window), QStringList({"Bob", "Carl", "Zed"}));
    for (const char* field : {"addNameField", "addPromptField", "addPictureField"})
        EXPECT_EQ(text(item(window, field)), "") << field;
    EXPECT_FALSE(item(window, "plusButton")->isEnabled()); // still nothing selected
    const AssistantPtr carl = allAssistants(store()).back();
    EXPECT_EQ(carl->profilePictureUrl(), QUrl(picture));
    EXPECT_FALSE(store().hasChanges());
}

TEST_F(SettingsWindowTest, TheUpdateFormFollowsTheSelectionAndWritesTheAssistant)
{
    const QString picture = server.baseUrl().toString() + "/ada.png";
    QByteArray png; // the list shows the picture: a real one, so nothing warns
    QBuffer buffer(&png);
    QImage(1, 1, QImage::Format_ARGB32).save(&buffer, "PNG");
    server.setHandler([png](const RecordedRequest&) { return ScriptedResponse::text(200, png, "image/png"); });
    const AssistantPtr ada = createAssistant(store(), "Ada", "Be brief.", picture, "Hi");
    createAssistant(store(), "Bob", "Be long.", QString());
    QQuickWindow* window = openSettings();
    click(window, item(window, "assistantRow_0"));
    EXPECT_TRUE(item(window, "updateAssistantForm")->isVisible());
    EXPECT_TRUE(item(window, "minusButton")->isEnabled());
    EXPECT_EQ(text(item(window, "updatePromptField")), "Be brief.");
    EXPECT_EQ(text(item(window, "updatePictureField")), picture);
    type(window, item(window, "updateNameField"), "Zoe");
    QTest::keyClick(window, Qt::Key_Delete); // edits the field, never deletes the assistant
    EXPECT_FALSE(ada->deletedAt().has_value());
    EXPECT_EQ(text(item(window, "updateFormTitle")), "Update Zoe");
    type(window, item(window, "updatePictureField"), "http://exa mple.org"); // passes, but is no URL
    click(window, item(window, "updateSubmitButton"));
    EXPECT_EQ(ada->name(), "Zoe");
    EXPECT_EQ(ada->personality(), "Be brief.");
    EXPECT_FALSE(ada->profilePictureUrl().has_value());
    EXPECT_EQ(ada->intro(), "Hi");
    EXPECT_EQ(rowTitles(window), QStringList({"Bob", "Zoe"}));
    EXPECT_EQ(text(item(window, "updateFormTitle")), "Update Zoe"); // still the same assistant
    // Another assistant refills the form, from the mouse or the arrow keys.
    item(window, "assistantList")->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(text(item(window, "updateNameField")), "Bob");
    EXPECT_EQ(text(item(window, "updatePromptField")), "Be long.");
    EXPECT_EQ(text(item(window, "updatePictureField")), "");
    click(window, item(window, "plusButton"));
    EXPECT_TRUE(item(window, "addAssistantForm")->isVisible());
    EXPECT_FALSE(item(window, "plusButton")->isEnabled());
}

TEST_F(SettingsWindowTest, EveryWayOfDeletingSoftDeletesAndLeavesTheConversations)
{
    const std::function<void(QQuickWindow*)> ways[] = {
        [](QQuickWindow* window) { click(window, item(window, "minusButton")); },
        [](QQuickWindow* window) { QTest::keyClick(window, Qt::Key_Delete); },
        [](QQuickWindow* window) {
            click(window, item(window, "assistantRow_0"), Qt::RightButton);
            QQuickItem* menuItem = nullptr;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return (menuItem = item(window, "deleteAssistantMenuItem")) && menuItem->window(); }));
            click(window, menuItem);
        },
    };
    for (const auto& deleteIt : ways) {
        SCOPED_TRACE(&deleteIt - ways);
        const AssistantPtr assistant = createAssistant(store(), "Ada", "p", QString());
        const ConversationPtr conversation = createConversation(store(), assistant);
        QQuickWindow* window = openSettings();
        click(window, item(window, "assistantRow_0"));
        deleteIt(window);
        EXPECT_TRUE(assistant->deletedAt().has_value());
        EXPECT_TRUE(rowTitles(window).isEmpty());
        EXPECT_TRUE(item(window, "addAssistantForm")->isVisible());
        EXPECT_NE(store().conversationWithId(*conversation->id()), nullptr);
        EXPECT_FALSE(store().hasChanges());
    }
}

TEST_F(SettingsWindowTest, TheOpenAiTabChecksTheKeyAndStoresOnlyHttpAddresses)
{
    server.setHandler([](const RecordedRequest& request) {
        const QByteArray key = request.header("authorization");
        ScriptedResponse response = ScriptedResponse::text(401, R"({"error":{"message":"no"}})");
        if (key == "Bearer sk-good")
            response = ScriptedResponse::text(200, R"({"data":[{"id":"gpt-3.5-turbo"}]})");
        else if (key == "Bearer sk-other-models") // a key that works, but not for the chosen model
            response = ScriptedResponse::text(200, R"({"data":[{"id":"gpt-4o"}]})");
        response.pieces.first().first = 300; // long enough to see the check running
        return response;
    });
    QQuickWindow* window = openSettings(1);
    QQuickItem* busy = item(window, "validateBusy");
    QQuickItem* valid = item(window, "validMark");
    QQuickItem* invalid = item(window, "invalidMark");
    const struct {
        QString key;
        bool accepted;
    } cases[] = {{"sk-good", true}, {"sk-bad", false}, {"sk-other-models", false}, {"", false}};
    for (const auto& c : cases) {
        type(window, item(window, "apiKeyField"), c.key);
        EXPECT_EQ(Settings::instance().apiKey(), c.key);
        click(window, item(window, "validateButton"));
        EXPECT_TRUE(busy->isVisible());
        EXPECT_FALSE(valid->isVisible() || invalid->isVisible());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !busy->isVisible(); }, 5000));
        EXPECT_EQ(valid->isVisible(), c.accepted) << c.key.toStdString();
        EXPECT_EQ(invalid->isVisible(), !c.accepted) << c.key.toStdString();
    }
    // Only http(s) addresses are stored; plain http to another machine gets a grey note.
    QQuickItem* field = item(window, "serverAddressField");
    EXPECT_EQ(field->property("placeholderText").toString(), "https://api.openai.com");
    const struct {
        QString typed;
        std::optional<QString> stored;
        QString note;
    } addresses[] = {
        {"http://example.com", "http://example.com", "Not encrypted: the API key travels to this server in the clear."},
        // Refused: the address stored before stays in use.
        {"ftp://example.com", "http://example.com", "Enter an address that starts with http:// or https://."},
        {"http://127.0.0.1:8080/v1", "http://127.0.0.1:8080/v1", ""},
        {"", std::nullopt, ""},
    };
    for (const auto& c : addresses) {
        SCOPED_TRACE(c.typed.toStdString());
        type(window, field, c.typed);
        if (&c == addresses) { // a half-typed address is never stored: it would receive the key
            EXPECT_FALSE(Settings::instance().storedText(Settings::openAiBaseUrlKey));
        }
        QTest::keyClick(window, Qt::Key_Return);
        EXPECT_EQ(Settings::instance().storedText(Settings::openAiBaseUrlKey), c.stored);
        EXPECT_EQ(text(field), c.typed); // a refused address stays for correcting
        QQuickItem* note = item(window, "serverAddressNote");
        EXPECT_EQ(note->isVisible(), !c.note.isEmpty());
        EXPECT_EQ(text(note), c.note);
        if (note->isVisible()) { // grey for a stored address, red for a refused one
            EXPECT_EQ(note->property("color").value<QColor>() == ThemePalette().secondaryText(), c.stored == c.typed);
        }
    }
}

// The server's models follow the built-in ones; a stored id in neither list shows as unavailable.
TEST_F(SettingsWindowTest, TheModelPickersOfferTheServersModelsAndStoreIds)
{
    qunsetenv("VORBEL_OPENAI_URL");
    Settings& settings = Settings::instance();
    settings.setText(Settings::openAiBaseUrlKey, server.baseUrl().toString() + "/v1");
    server.setHandler([](const RecordedRequest& request) {
        return request.path == "/v1/models"
                 ? ScriptedResponse::text(200, R"({"data":[{"id":"mistral"},{"id":"gpt-4"},{"id":"llama3"}]})")
                 : ScriptedResponse::text(404, "{}");
    });
    m_app.reset(); // a new start
    m_app = std::make_unique<VorbelApplication>();
    ASSERT_TRUE(QTest::qWaitFor([] { return AccountModels::instance().isListed("llama3"); }, 5000));
    uiState().setSelectedConversation(createConversation(store(), nullptr)->id());
    QQuickWindow* main = open();
    QQuickWindow* window = openSettings(1);
    QQuickItem* picker = item(window, "modelPicker");
    QQuickItem* toolbar = item(main, "modelPicker"); // the conversation's
    const QStringList offered = {"GPT 3.5 Turbo", "GPT 3.5 Turbo 16k", "GPT 4", "GPT 4 32k", "llama3", "mistral"};
    EXPECT_EQ(toolbar->property("model").toStringList(), offered);
    EXPECT_EQ(picker->property("currentText").toString(), "GPT 3.5 Turbo"); // nothing stored
    picker->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Down);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(settings.model(), "gpt-4");
    EXPECT_EQ(toolbar->property("currentText").toString(), "GPT 4");
    settings.setText(Settings::modelKey, "gpt-5"); // in neither list
    for (QQuickItem* shown : {picker, toolbar}) {
        EXPECT_EQ(shown->property("model").toStringList(), offered + QStringList{"gpt-5 (unavailable)"});
        EXPECT_EQ(shown->property("currentText").toString(), "gpt-5 (unavailable)");
    }
    QMetaObject::invokeMethod(toolbar, "activated", Q_ARG(int, 5));
    EXPECT_EQ(settings.model(), "mistral");
    EXPECT_EQ(picker->property("model").toStringList(), offered); // the unavailable entry is gone
    EXPECT_EQ(picker->property("currentText").toString(), "mistral");
}

TEST_F(SettingsWindowTest, ExtensionRowsFollowTheStoredFlagsAndPanelsStoreEveryEdit)
{
    QQuickWindow* window = openSettings(2);
    const struct {
        QString title, state;
        bool note;
        QString panelField;
    } rows[] = {
        {"JavaScript functions", "Enabled", false, ""},
        {"Wolfram Alpha access", "Disabled", false, "wolframAppIdField"},
        {"Shell access", "Disabled", true, "shellPicker"},
        {"Pinecone memory", "Disabled", true, "pineconeIndexField"},
    };
    EXPECT_EQ(text(item(window, "extensionTitle")), rows[0].title); // the first is selected
    watch(item(window, "extensionList")->property("model").value<QAbstractItemModel*>());
    for (int row = 0; row < 4; ++row) {
        QQuickItem* rowItem = item(window, QStringLiteral("extensionRow_%1").arg(row));
        click(window, rowItem);
        EXPECT_EQ(text(rowItem), rows[row].title);
        EXPECT_EQ(text(rowItem->findChild<QQuickItem*>("extensionState")), rows[row].state);
        EXPECT_EQ(text(item(window, "extensionTitle")), rows[row].title);
        EXPECT_EQ(item(window, "extensionEnabledCheckBox")->property("checked").toBool(), rows[row].state == "Enabled");
        EXPECT_EQ(item(window, "confirmationNote")->isVisible(), rows[row].note);
        EXPECT_EQ(item(window, "extensionPanel")->property("active").toBool(), !rows[row].panelField.isEmpty());
        if (!rows[row].panelField.isEmpty()) {
            EXPECT_TRUE(item(window, rows[row].panelField)->isVisible()) << row;
        }
    }
    // Wolfram Alpha ticked without an App ID reads "Enabled" but is offered only once there is an ID.
    click(window, item(window, "extensionRow_1"));
    QQuickItem* checkBox = item(window, "extensionEnabledCheckBox");
    checkBox->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_EQ(Settings::instance().storedBool(Settings::extensionEnabledKey("wolframAlphaRequest")), true);
    EXPECT_EQ(text(item(window, "extensionRow_1")->findChild<QQuickItem*>("extensionState")), "Enabled");
    EXPECT_EQ(definitionNames(), QStringList({"jsExecution"}));
    type(window, item(window, "wolframAppIdField"), "APP-1");
    EXPECT_EQ(definitionNames(), QStringList({"jsExecution", "wolframAlphaRequest"}));
    EXPECT_TRUE(checkBox->property("checked").toBool());
    // The panels store every edit.
    click(window, item(window, "extensionRow_2"));
    QQuickItem* shell = item(window, "shellPicker"); // found visible by the row loop above
    EXPECT_EQ(shell->property("currentText").toString(), "bin/bash");
    EXPECT_FALSE(Settings::instance().storedText(Settings::cliAppShellKey).has_value());
    shell->forceActiveFocus();
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(Settings::instance().storedText(Settings::cliAppShellKey), "bin/zsh");

    const struct {
        int row;
        QString field, key;
    } fields[] = {
        {1, "wolframAppIdField", Settings::wolframAlphaAppIdKey},
        {2, "shellCommandField", Settings::cliAppCommandKey},
        {3, "pineconeApiKeyField", Settings::pineconeApiKeyKey},
        {3, "pineconeIndexField", Settings::pineconeIndexKey},
        {3, "pineconeEnvironmentField", Settings::pineconeEnvironmentKey},
    };
    for (const auto& f : fields) {
        click(window, item(window, QStringLiteral("extensionRow_%1").arg(f.row)));
        type(window, item(window, f.field), "v-" + f.key);
        EXPECT_EQ(Settings::instance().storedText(f.key), "v-" + f.key);
    }
}

// Screen readers find a name on every control of both windows and the cover; Tab follows reading order.
TEST_F(SettingsWindowTest, ControlsAreNamedAndTabGoesInReadingOrder)
{
    QAccessible::setActive(true); // as with a screen reader running from the start
    createAssistant(store(), "Ada", "p", QString());
    ConversationPtr conversation = createConversation(store(), nullptr);
    Settings::instance().setBool(Settings::extensionEnabledKey("cliExecution"), true);
    makeMessage(store(), "user", "Hi", conversation, std::nullopt, true);
    makeMessage(store(), "assistant", "```\nls\n```\n- [x] Listed", conversation, std::nullopt, true);
    makeMessage(store(), "assistant", QString(), conversation, QStringLiteral("cliExecution"), true)
        ->setFunctionArguments(QStringLiteral("{\"command\":\"ls\"}"));
    saveChanges(store());
    uiState().setSelectedConversation(conversation->id());
    QQuickWindow* main = open();
    QObject* fileMenu = find(main, "fileMenu");
    ASSERT_TRUE(fileMenu);
    QMetaObject::invokeMethod(fileMenu, "open");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileMenu->property("opened").toBool(); }));
    const auto expectNamed = [](const QStringList& names, std::initializer_list<const char*> expected) {
        EXPECT_FALSE(names.contains(QString())) << names.join(" | ").toStdString();
        for (const char* name : expected)
            EXPECT_FALSE(names.filter(name).isEmpty()) << name;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(main, "taskMark"); }));
    expectNamed(accessibleNames(main), {"File", "New Conversation", "Delete Conversation", "unknown", "Quit", "Model",
                                        "Message", "Run function", "You: Hi", "Unknown: ```", "Listed"});
    QAccessibleInterface* task = QAccessible::queryAccessibleInterface(item(main, "taskMark"));
    EXPECT_EQ(task->role(), QAccessible::CheckBox);
    EXPECT_TRUE(task->state().checked);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(item(main, "functionBlock"))->text(QAccessible::Name),
              "Function call: Run CLI command");
    QMetaObject::invokeMethod(fileMenu, "close");

    QQuickWindow* window = openSettings();
    QStringList names;
    for (int tab = 0; tab < 3; ++tab) {
        find(window, "settingsTabs")->setProperty("currentIndex", tab);
        names += accessibleNames(window);
    }
    expectNamed(names, {"New assistant", "Remove assistant", "Ada", "Prompt", "OpenAI API Key", "Server address",
                        "Model", "Validate", "Learn more", "Shell access, Enabled", "Enabled"});
    EXPECT_EQ(names.count("Add assistant"), 1); // the form's button only
    find(window, "settingsTabs")->setProperty("currentIndex", 1);
    item(window, "apiKeyField")->forceActiveFocus();
    QStringList order;
    for (int step = 0; step < 5; ++step) {
        QTest::keyClick(window, Qt::Key_Tab);
        order << window->activeFocusItem()->objectName();
    }
    EXPECT_EQ(order, QStringList({"orgKeyField", "serverAddressField", "modelPicker", "validateButton",
                                  "openAiLearnMoreLink"}));

    Settings::instance().setText(Settings::apiKeyKey, QString()); // the cover comes back
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(main, "welcomeView")->isVisible(); }));
    click(main, item(main, "advancedButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item(main, "welcomeServerAddressField")->isVisible(); }));
    expectNamed(accessibleNames(main),
                {"OpenAI API Key", "Advanced", "OpenAI Org Key", "Server address", "Continue", "Learn more"});
    // The cover has the keyboard, from the key field round its own controls.
    main->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    item(main, "apiKeyField")->forceActiveFocus();
    order.clear();
    for (int step = 0; step < 7; ++step) {
        QTest::keyClick(main, Qt::Key_Tab);
        order << main->activeFocusItem()->objectName();
    }
    EXPECT_EQ(order, QStringList({"advancedButton", "orgKeyField", "welcomeServerAddressField", "welcomeModelPicker",
                                  "continueButton", "learnMoreLink", "apiKeyField"}));
    QAccessible::setActive(false);
}

// Tool servers follow the four, added through both forms; a failed one shows its log.
TEST_F(SettingsWindowTest, ToolServerRowsShowTheirStatusToolsAndLog)
{
    QTemporaryDir folder;
    ToolServerManager::instance().setPathForTesting(folder.filePath("mcp.json"));
    QAccessible::setActive(true);
    QQuickWindow* window = openSettings(2);
    click(window, item(window, "addToolServerButton"));
    type(window, item(window, "toolServerNameField"), "srv");
    type(window, item(window, "toolServerCommandField"), QString("'%1' --fillers 1").arg(VORBEL_MCP_TEST_SERVER));
    QMetaObject::invokeMethod(find(window, "addToolServerDialog"), "accept");
    click(window, item(window, "pasteConfigurationButton"));
    type(window, item(window, "configurationArea"),
         QString(R"({"mcpServers":{"bad":{"command":"%1","args":["--fail-start"]}}})").arg(VORBEL_MCP_TEST_SERVER));
    QMetaObject::invokeMethod(find(window, "pasteConfigurationDialog"), "accept");

    const struct {
        int row;
        QString title, status;
        const char* log;
    } rows[] = {
        {4, "bad", "Failed: exited with status 2", "cannot start: no token given"},
        {5, "srv", "Connected · 6 tools", "received tools/list"},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return item(window, QStringLiteral("extensionRow_%1").arg(r.row)); }));
        click(window, item(window, QStringLiteral("extensionRow_%1").arg(r.row)));
        EXPECT_EQ(text(item(window, "extensionTitle")), r.title);
        EXPECT_TRUE(QTest::qWaitFor([&] { return text(item(window, "toolServerStatus")) == r.status; }, 20000))
            << text(item(window, "toolServerStatus")).toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return text(item(window, "toolServerLog")).contains(r.log); }));
        EXPECT_TRUE(item(window, "askBeforeCallCheckBox")->property("checked").toBool());
    }
    const QStringList names = accessibleNames(window);
    for (const char* name : {"Add tool server…", "Paste configuration…", "srv, Enabled", "Ask before each call",
                             "Standard error", "Reconnect", "Remove"})
        EXPECT_TRUE(names.contains(name)) << name;

    click(window, item(window, "extensionEnabledCheckBox"));
    EXPECT_EQ(text(item(window, "extensionRow_5")->findChild<QQuickItem*>("extensionState")), "Disabled");
    EXPECT_FALSE(isFunctionOffered("srv__echo"));
    QMetaObject::invokeMethod(item(window, "removeToolServerButton"), "clicked"); // below the fold
    EXPECT_TRUE(QTest::qWaitFor([&] { return !item(window, "extensionRow_5"); }));
    QAccessible::setActive(false);
    ToolServerManager::instance().setPathForTesting(folder.filePath("none.json"));
}
