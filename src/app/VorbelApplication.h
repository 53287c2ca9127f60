#pragma once

#include "app/SingleInstance.h"
#include "app/Updater.h"
#include "chat/ConversationController.h"
#include "store/DataController.h"
#include "ui/common/UiState.h"
#include "ui/mainwindow/MainWindowServices.h"

#include <QNetworkAccessManager>
#include <QObject>

#include <memory>

class MainWindowFactory;
class QQuickWindow;

// The application object: owns the store, the shared selection, the updater,
// the network manager and the conversations' turn controllers for the life of
// the process.
class VorbelApplication : public QObject {
    Q_OBJECT
public:
    explicit VorbelApplication(QObject* parent = nullptr);
    ~VorbelApplication() override;

    static VorbelApplication& instance();

    DataController& dataController();
    StoreContext& storeContext() { return dataController().storeContext(); }
    UiState& uiState() { return m_uiState; }
    Updater& updater() { return *m_updater; }
    QNetworkAccessManager& network() { return m_network; }
    // Turns belong to conversations, not to windows.
    ConversationControllerRegistry& conversationControllers();

    // Every main window calls this when it is shown: the catalogue is refreshed each time.
    void mainWindowShown();
    MainWindowServices mainWindowServices();
    // Builds and shows one more main window (null if its QML failed to load).
    QQuickWindow* openMainWindow();
    // Another start of the program: a new window, or the newest one brought forward.
    void showMainWindow(SingleInstance::Request request);
    MainWindowFactory& mainWindows();

Q_SIGNALS:
    void catalogueRefreshStarted();
    void catalogueRefreshed();

private:
    QNetworkAccessManager m_network;
    UiState m_uiState;
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<DataController> m_dataController;
    std::unique_ptr<ConversationControllerRegistry> m_controllers;
    std::unique_ptr<MainWindowFactory> m_windows;
};
