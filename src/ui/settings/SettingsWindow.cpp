#include "ui/settings/SettingsWindow.h"

#include "core/Endpoints.h"
#include "store/StoreContext.h"
#include "ui/common/UiLog.h"
#include "ui/settings/AssistantEditorController.h"
#include "ui/settings/ExtensionListModel.h"

#include <QQmlComponent>
#include <QQuickStyle>
#include <QQuickWindow>

namespace {

QPointer<SettingsWindow> current;
} // namespace

SettingsWindow::SettingsWindow(StoreContext& store)
    : QObject(&store)
    , m_store(store)
{
    // The same look as the main windows, also when this engine is the first.
    if (QQuickStyle::name().isEmpty())
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));

    auto* editor = new AssistantEditorController(store, this);
    auto* extensions = new ExtensionListModel(this);
    QQmlComponent component(&m_engine, QUrl(QStringLiteral("qrc:/qt/qml/Vorbel/Ui/Settings/SettingsWindow.qml")));
    // Creating from a component with errors crashes in Qt 6.4: ask first.
    if (!component.isReady()) {
        qCCritical(lcUi) << "The settings window could not be built:" << component.errors();
        return;
    }
    QObject* object = component.createWithInitialProperties({
        {QStringLiteral("editor"), QVariant::fromValue(editor)},
        {QStringLiteral("extensions"), QVariant::fromValue(extensions)},
        {QStringLiteral("faqAddress"), Endpoints::faqPage().toString()},
    });
    m_window = qobject_cast<QQuickWindow*>(object);
    if (!m_window) {
        qCCritical(lcUi) << "The settings window could not be built:" << component.errors();
        delete object;
        return;
    }
    // Closing ends this window; the next one starts again on its first tab.
    connect(m_window, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible)
            deleteLater();
    });
}

SettingsWindow::~SettingsWindow()
{
    // The window's bindings go before the engine and the objects they read.
    delete m_window;
}

QQuickWindow* SettingsWindow::showShared(StoreContext& store)
{
    if (current && &current->m_store != &store)
        delete current;
    if (!current)
        current = new SettingsWindow(store);
    if (!current->m_window) {
        delete current;
        return nullptr;
    }
    QQuickWindow* window = current->m_window;
    window->show();
    window->raise();
    window->requestActivate();
    return window;
}

QQuickWindow* SettingsWindow::shared() { return current ? current->m_window.data() : nullptr; }
