#pragma once

#include "ui/MainWindowServices.h"

#include <QAbstractItemModel>
#include <QObject>
#include <QtQml/qqmlregistration.h>

class AssistantListModel;
class ConversationViewController;
class ConversationListModel;
class RowLabelsModel;
struct UpdateCheckResult;

// Everything a main window does, for its QML to bind to: the conversation
// list and the assistant cards, the shared selection as a row, creating and
// deleting conversations, and the menu commands.
class MainWindowController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Each main window gets its controller from the application")
    Q_PROPERTY(QAbstractItemModel* conversations READ conversations CONSTANT)
    Q_PROPERTY(QAbstractItemModel* assistants READ assistants CONSTANT)
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedConversationId READ selectedConversationId NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedAssistantName READ selectedAssistantName NOTIFY selectionChanged)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool updatesConfigured READ updatesConfigured CONSTANT)
    Q_PROPERTY(bool storeIsPersistent READ storeIsPersistent CONSTANT)
    Q_PROPERTY(QString storeWarning READ storeWarning CONSTANT)
    Q_PROPERTY(ConversationViewController* conversationView READ conversationView CONSTANT)
    // No API key stored for OpenAI's server: the welcome screen covers the window.
    Q_PROPERTY(bool needsApiKey READ needsApiKey NOTIFY needsApiKeyChanged)
public:
    explicit MainWindowController(const MainWindowServices& services, QObject* parent = nullptr);
    ~MainWindowController() override;

    QAbstractItemModel* conversations() const;
    QAbstractItemModel* assistants() const;
    // The row of the selected conversation, or -1 when the selection matches
    // no row (the form is shown then).
    int selectedRow() const;
    QString selectedConversationId() const;
    QString selectedAssistantName() const;
    bool canCheckForUpdates() const;
    bool updatesConfigured() const;
    bool storeIsPersistent() const;
    QString storeWarning() const;
    ConversationViewController* conversationView() const { return m_conversationView; }
    bool needsApiKey() const;

    Q_INVOKABLE void newConversation();
    Q_INVOKABLE void startConversation(int assistantRow);
    Q_INVOKABLE void selectRow(int row);
    Q_INVOKABLE void selectAdjacent(int step);
    Q_INVOKABLE void deleteConversationAt(int row);
    Q_INVOKABLE void deleteSelectedConversation();
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void openNewWindow();
    Q_INVOKABLE void quit();
    Q_INVOKABLE void checkForUpdates();
    Q_INVOKABLE void windowShown();

    static QString updateResultText(const UpdateCheckResult& result);

Q_SIGNALS:
    void selectionChanged();
    void canCheckForUpdatesChanged();
    void needsApiKeyChanged();
    // Rich text for the answer dialog of the window that asked.
    void updateCheckFinished(const QString& text);

private:
    MainWindowServices m_services;
    ConversationListModel* m_conversations;
    AssistantListModel* m_assistants;
    RowLabelsModel* m_conversationRows;
    RowLabelsModel* m_assistantCards;
    ConversationViewController* m_conversationView;
    bool m_awaitingUpdateCheck = false;
};
