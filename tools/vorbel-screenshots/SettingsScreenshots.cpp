#include "SettingsScreenshots.h"

#include "MainWindowScreenshots.h"
#include "support/HttpTestServer.h"

#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "ui/settings/SettingsWindow.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace {

void findAll(QObject* root, const QString& name, QList<QObject*>& found)
{
    if (root->objectName() == name)
        found << root;
    for (QObject* child : root->children())
        findAll(child, name, found);
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems())
            findAll(child, name, found);
    }
}

// The visible item of that name, or any.
QObject* find(QQuickWindow* window, const QString& name)
{
    QList<QObject*> found;
    findAll(window->contentItem(), name, found);
    findAll(window, name, found);
    for (QObject* object : found) {
        auto* item = qobject_cast<QQuickItem*>(object);
        if (item && item->isVisible())
            return item;
    }
    return found.value(0);
}

} // namespace

int writeSettingsScreenshots(const QString& outDir, const QString& suffix, StoreContext& store)
{
    // A local stand-in for the service: it answers each check after a moment,
    // accepting one made-up key and rejecting every other.
    HttpTestServer server;
    server.setHandler([](const RecordedRequest& request) {
        const bool accepted = request.header("authorization") == "Bearer sk-example-valid";
        ScriptedResponse answer =
            accepted ? ScriptedResponse::text(200, R"({"object":"list","data":[{"id":"gpt-4","object":"model"}]})")
                     : ScriptedResponse::text(401, R"({"error":{"message":"Incorrect API key"}})");
        answer.pieces.first().first = 1500;
        return answer;
    });
    const QByteArray previousBase = qgetenv("VORBEL_OPENAI_URL");
    qputenv("VORBEL_OPENAI_URL", server.baseUrl().toString().toUtf8());
    Settings& settings = Settings::instance();
    settings.setText(Settings::apiKeyKey, QStringLiteral("sk-example-valid"));
    settings.setText(Settings::orgKeyKey, QStringLiteral("org-example"));
    settings.setText(Settings::modelKey, QStringLiteral("gpt-4"));
    settings.setText(Settings::wolframAlphaAppIdKey, QStringLiteral("EXAMPLE-APPID"));
    settings.setText(Settings::cliAppCommandKey, QStringLiteral("source $HOME/.zshrc && $0"));
    settings.setText(Settings::pineconeApiKeyKey, QStringLiteral("example-pinecone-key"));
    settings.setText(Settings::pineconeIndexKey, QStringLiteral("memories"));
    settings.setText(Settings::pineconeEnvironmentKey, QStringLiteral("us-west1-gcp"));

    bool ok = true;
    QQuickWindow* window = SettingsWindow::showShared(store);
    if (!window || !QTest::qWaitForWindowExposed(window))
        return 1;
    QObject* tabs = find(window, QStringLiteral("settingsTabs"));
    QObject* editor = window->property("editor").value<QObject*>();
    const QString base = outDir + QStringLiteral("/settings-");

    ok = grabWindow(window, base + "assistants-add" + suffix) && ok;
    QMetaObject::invokeMethod(editor, "select", Q_ARG(int, 1));
    ok = grabWindow(window, base + "assistants-update" + suffix) && ok;

    tabs->setProperty("currentIndex", 1);
    ok = grabWindow(window, base + "openai-idle" + suffix) && ok;
    auto* validate = qobject_cast<QQuickItem*>(find(window, QStringLiteral("validateButton")));
    QMetaObject::invokeMethod(validate, "clicked");
    ok = grabWindow(window, base + "openai-checking" + suffix) && ok;
    auto* busy = qobject_cast<QQuickItem*>(find(window, QStringLiteral("validateBusy")));
    ok = QTest::qWaitFor([&] { return !busy->isVisible(); }, 10000) && ok;
    ok = grabWindow(window, base + "openai-valid" + suffix) && ok;
    settings.setText(Settings::apiKeyKey, QStringLiteral("sk-example-rejected"));
    QMetaObject::invokeMethod(validate, "clicked");
    ok = QTest::qWaitFor([&] { return busy->isVisible(); }, 1000) && ok;
    ok = QTest::qWaitFor([&] { return !busy->isVisible(); }, 10000) && ok;
    ok = grabWindow(window, base + "openai-invalid" + suffix) && ok;
    // An address on the local network without TLS: shown, not stored.
    auto* address = qobject_cast<QQuickItem*>(find(window, QStringLiteral("serverAddressField")));
    if (address)
        address->setProperty("text", QStringLiteral("http://192.168.1.20:11434/v1"));
    ok = address && grabWindow(window, base + "openai-unencrypted" + suffix) && ok;
    if (address)
        address->setProperty("text", QString());

    tabs->setProperty("currentIndex", 2);
    const QList<CustomExtension> extensions = allExtensions();
    for (int row = 0; row < extensions.size(); ++row) {
        find(window, QStringLiteral("extensionsView"))->setProperty("selectedRow", row);
        ok = grabWindow(window, base + "extension-" + QString(extensions[row].id).replace('/', '-') + suffix) && ok;
    }
    window->close();
    ok = QTest::qWaitFor([] { return !SettingsWindow::shared(); }) && ok;
    if (previousBase.isNull())
        qunsetenv("VORBEL_OPENAI_URL");
    else
        qputenv("VORBEL_OPENAI_URL", previousBase);
    return ok ? 0 : 1;
}
