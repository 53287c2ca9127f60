#include "app/VorbelApplication.h"

#include "core/Endpoints.h"
#include "openai/AccountModels.h"
#include "store/AssistantCatalogue.h"
#include "ui/mainwindow/MainWindowFactory.h"
#include "ui/settings/SettingsWindow.h"

#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

// The views are compiled into the program; this pulls their modules in.
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_CommonPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_MarkdownPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_ConversationPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_WelcomePlugin)
Q_IMPORT_QML_PLUGIN(Vorbel_Ui_MainWindowPlugin)

namespace {
VorbelApplication* current = nullptr;
constexpr int accountModelsDelayMs = 400;
} // namespace

VorbelApplication::VorbelApplication(QObject* parent)
    : QObject(parent)
    , m_updater(std::make_unique<Updater>(Endpoints::updateFeed(), QStringLiteral(VORBEL_VERSION), m_network))
{
    Q_ASSERT(!current);
    current = this;
    m_updater->start();
    // The account's models, read in the background once the first window is
    // up (on two cores the read would slow the first frame); the pickers add
    // them when they come.
    QTimer::singleShot(accountModelsDelayMs, this, [] { AccountModels::instance().followSettings(); });
}

VorbelApplication::~VorbelApplication()
{
    // Windows, then controllers, go before the store they show and write to.
    m_windows.reset();
    m_controllers.reset();
    current = nullptr;
}

VorbelApplication& VorbelApplication::instance()
{
    Q_ASSERT(current);
    return *current;
}

DataController& VorbelApplication::dataController()
{
    if (!m_dataController)
        m_dataController = std::make_unique<DataController>();
    return *m_dataController;
}

ConversationControllerRegistry& VorbelApplication::conversationControllers()
{
    if (!m_controllers)
        m_controllers = std::make_unique<ConversationControllerRegistry>(storeContext());
    return *m_controllers;
}

void VorbelApplication::mainWindowShown()
{
    Q_EMIT catalogueRefreshStarted();
    refreshAssistantCatalogue(storeContext(), m_network, Endpoints::catalogueBase(),
                              [self = QPointer<VorbelApplication>(this)] {
                                  // The refresh may finish after the application object is gone.
                                  if (self)
                                      Q_EMIT self->catalogueRefreshed();
                              });
}

MainWindowServices VorbelApplication::mainWindowServices()
{
    return MainWindowServices{storeContext(),
                              m_uiState,
                              *m_updater,
                              conversationControllers(),
                              [this] { mainWindowShown(); },
                              [this] { openMainWindow(); }};
}

MainWindowFactory& VorbelApplication::mainWindows()
{
    if (!m_windows) {
        m_windows = std::make_unique<MainWindowFactory>();
        // The settings window alone would keep the app running with no menu:
        // it goes too, and with no window left the app quits.
        connect(m_windows.get(), &MainWindowFactory::lastWindowClosed, this, [] {
            if (QQuickWindow* settings = SettingsWindow::shared())
                settings->close();
        });
    }
    return *m_windows;
}

QQuickWindow* VorbelApplication::openMainWindow() { return mainWindows().open(mainWindowServices()); }

void VorbelApplication::showMainWindow(SingleInstance::Request request)
{
    const QList<QQuickWindow*> open = mainWindows().windows();
    QQuickWindow* window = request == SingleInstance::Request::Raise && !open.isEmpty() ? open.constLast()
                                                                                        : openMainWindow();
    if (!window)
        return;
    window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}
