#pragma once

#include "ui/mainwindow/MainWindowServices.h"

#include <QAbstractItemModel>
#include <QObject>
#include <QtQml/qqmlregistration.h>

#include "store/ConversationSearch.h"
#include "store/Records.h"

#include <memory>

class AssistantListModel;
class ConversationViewController;
class ConversationListModel;
class ConversationSearch;
class RowLabelsModel;
class SearchRowsModel;
struct UpdateCheckResult;

// Everything a main window does, for its QML to bind to: the conversation
// list and the assistant cards, the shared selection as a row, creating and
// deleting conversations, and the menu commands.
class MainWindowController : public QObject {
    Q_OBJECT
    // The type system needs the whole class behind the conversationView property.
    Q_MOC_INCLUDE("ui/conversation/ConversationViewController.h")
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
    // A conversation is selected, even when a search hides its row.
    Q_PROPERTY(bool showsConversation READ showsConversation NOTIFY selectionChanged)
    // What the search field holds; the list shows only its hits.
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool searching READ searching NOTIFY searchTextChanged)
    // The last export's failure, shown in the window until the next export.
    Q_PROPERTY(QString exportError READ exportError NOTIFY exportErrorChanged)
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
    bool showsConversation() const;
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    bool searching() const;
    QString exportError() const { return m_exportError; }

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
    // The row's title as the user typed it; empty brings back the automatic one.
    Q_INVOKABLE void renameConversationAt(int row, const QString& title);
    // Asks where to save the shown conversation, as Markdown or JSON.
    Q_INVOKABLE void exportConversation();
    // Writes the shown conversation there (JSON when the name ends in .json),
    // atomically and readable by the user alone. False, with exportError set,
    // when it could not.
    Q_INVOKABLE bool exportConversationTo(const QString& path);
    Q_INVOKABLE void copyConversationAsMarkdown();

    static QString updateResultText(const UpdateCheckResult& result);

Q_SIGNALS:
    void selectionChanged();
    void canCheckForUpdatesChanged();
    void needsApiKeyChanged();
    // Rich text for the answer dialog of the window that asked.
    void updateCheckFinished(const QString& text);
    void searchTextChanged();
    // The list shows the hits of the current search text.
    void searchFinished();
    void exportErrorChanged();

private:
    ConversationPtr recordAt(int row) const;
    ConversationPtr selectedConversation() const;
    void showHits(const Result<std::vector<SearchHit>>& hits);
    void setExportError(const QString& text);

    MainWindowServices m_services;
    ConversationListModel* m_conversations;
    AssistantListModel* m_assistants;
    RowLabelsModel* m_conversationRows;
    SearchRowsModel* m_searchRows;
    RowLabelsModel* m_assistantCards;
    ConversationViewController* m_conversationView;
    bool m_awaitingUpdateCheck = false;
    QString m_searchText;
    quint64 m_searchGeneration = 0; // a newer search's hits replace an older one's
    std::shared_ptr<ConversationSearch> m_search;
    QString m_exportError;
};
