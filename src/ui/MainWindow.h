#pragma once

#include "ui/MainWindowServices.h"

#include <QMainWindow>

class ConversationListModel;
class QListView;
class QStackedWidget;
class QAction;

// A main window: the conversation list beside the selected conversation.
// Several may be open; they share the store and the selection.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);

    QAction* newConversationAction() const { return m_newConversation; }
    QAction* checkForUpdatesAction() const { return m_checkForUpdates; }
    QListView* conversationList() const { return m_list; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void syncSelectionFromState();
    void showUpdateResult();

    MainWindowServices m_services;
    ConversationListModel* m_model = nullptr;
    QListView* m_list = nullptr;
    QStackedWidget* m_detail = nullptr;
    QAction* m_newConversation = nullptr;
    QAction* m_checkForUpdates = nullptr;
};
