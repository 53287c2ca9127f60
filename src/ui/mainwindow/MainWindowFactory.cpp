#include "ui/mainwindow/MainWindowFactory.h"

#include "ui/common/UiLog.h"
#include "ui/mainwindow/MainWindowController.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQuickStyle>
#include <QQuickWindow>

#include <algorithm>

namespace {
constexpr QSize defaultSize(1100, 720);
constexpr int cascadeOffset = 28; // a new window should not hide the one it came from
} // namespace

MainWindowFactory::MainWindowFactory(QObject* parent)
    : QObject(parent)
{
    // Fusion draws with the application palette, so the windows follow the
    // system's light or dark look.
    // Set once, before the first QML that imports the controls.
    static const bool styled = [] {
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
        return true;
    }();
    Q_UNUSED(styled);
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_component =
        new QQmlComponent(&m_engine, QUrl(QStringLiteral("qrc:/qt/qml/Vorbel/Ui/MainWindow/MainWindow.qml")), this);
}

MainWindowFactory::~MainWindowFactory()
{
    for (const QPointer<QQuickWindow>& window : std::as_const(m_windows)) {
        if (!window)
            continue;
        // Going now: no closing steps for it.
        disconnect(window, &QWindow::visibleChanged, nullptr, nullptr);
        if (window->isVisible())
            m_geometry.save(window->geometry());
        delete window;
    }
    // The scene graph hands its textures back through deferred deletes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QQuickWindow* MainWindowFactory::open(const MainWindowServices& services)
{
    // A component with errors has nothing to create from (Qt crashes on it).
    if (!m_component->isReady()) {
        qCCritical(lcUi) << "The main window could not be built:" << m_component->errors();
        return nullptr;
    }
    auto* controller = new MainWindowController(services);
    QObject* object =
        m_component->createWithInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(controller)}});
    auto* window = qobject_cast<QQuickWindow*>(object);
    if (!window) {
        qCCritical(lcUi) << "The main window could not be built:" << m_component->errors();
        delete object;
        delete controller;
        return nullptr;
    }
    controller->setParent(window);

    QRect geometry = m_geometry.load();
    QList<QQuickWindow*> open = windows();
    if (!open.isEmpty())
        geometry = open.last()->geometry().translated(cascadeOffset, cascadeOffset);
    if (geometry.isValid())
        window->setGeometry(geometry.united(QRect(geometry.topLeft(), window->minimumSize())));
    else
        window->resize(defaultSize);

    connect(window, &QWindow::visibleChanged, window, [this, window, controller](bool visible) {
        if (visible) {
            controller->windowShown();
            return;
        }
        m_geometry.save(window->geometry());
        window->deleteLater();
        const QList<QQuickWindow*> open = windows();
        if (std::none_of(open.begin(), open.end(), [](QQuickWindow* other) { return other->isVisible(); }))
            Q_EMIT lastWindowClosed();
    });
    m_windows.append(window);
    window->show();
    return window;
}

QList<QQuickWindow*> MainWindowFactory::windows() const
{
    QList<QQuickWindow*> open;
    for (const QPointer<QQuickWindow>& window : m_windows) {
        if (window)
            open.append(window);
    }
    return open;
}
