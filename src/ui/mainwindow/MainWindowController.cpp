#include "ui/mainwindow/MainWindowController.h"

#include "core/Endpoints.h"
#include "core/PoolTask.h"
#include "core/PrivateFiles.h"
#include "core/Settings.h"
#include "store/ConversationExport.h"
#include "store/ConversationTitles.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "ui/common/Clipboard.h"
#include "ui/common/RowLabelsModel.h"
#include "ui/common/UiState.h"
#include "ui/conversation/ConversationViewController.h"
#include "ui/mainwindow/SearchRowsModel.h"
#include "ui/mainwindow/UpdateChecker.h"
#include "ui/settings/SettingsWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

MainWindowController::MainWindowController(const MainWindowServices& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_conversations(new ConversationListModel(services.store, this))
    , m_assistants(new AssistantListModel(services.store, this))
    , m_conversationRows(new RowLabelsModel(m_conversations, tr("unknown"), RowLabelsModel::UpdatedAtSubtitle, this))
    , m_searchRows(new SearchRowsModel(m_conversationRows, this))
    , m_assistantCards(new RowLabelsModel(m_assistants, tr("Unknown"), RowLabelsModel::IntroSubtitle, this))
    , m_conversationView(
          new ConversationViewController(services.store, services.conversationControllers, services.uiState, this))
{
    // The detail area follows the selection, and a selected id that matches no
    // record (removed elsewhere) shows the form.
    connect(this, &MainWindowController::selectionChanged, this,
            [this] { m_conversationView->show(selectedConversation()); });
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        if (key == Settings::apiKeyKey || key == Settings::openAiBaseUrlKey)
            Q_EMIT needsApiKeyChanged();
    });
    connect(&m_services.uiState, &UiState::selectedConversationChanged, this, &MainWindowController::selectionChanged);
    // Rows move, come and go under the selection; its row and name follow.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_conversations, signal, this, &MainWindowController::selectionChanged);
    connect(m_conversations, &QAbstractItemModel::rowsMoved, this, &MainWindowController::selectionChanged);
    connect(m_conversations, &QAbstractItemModel::modelReset, this, &MainWindowController::selectionChanged);
    connect(m_conversations, &QAbstractItemModel::dataChanged, this, &MainWindowController::selectionChanged);
    // A search hides and shows rows, the selected one's too.
    connect(m_searchRows, &QAbstractItemModel::layoutChanged, this, &MainWindowController::selectionChanged);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_searchRows, signal, this, &MainWindowController::selectionChanged);
    connect(&m_services.updater, &UpdateChecker::canCheckForUpdatesChanged, this,
            &MainWindowController::canCheckForUpdatesChanged);
    connect(&m_services.updater, &UpdateChecker::checkFinished, this, [this](const UpdateCheckResult& result) {
        // Only the window that asked shows the answer.
        if (!std::exchange(m_awaitingUpdateCheck, false))
            return;
        Q_EMIT updateCheckFinished(updateResultText(result));
    });
    m_conversationView->show(selectedConversation());
}

MainWindowController::~MainWindowController() = default;

QAbstractItemModel* MainWindowController::conversations() const { return m_searchRows; }

ConversationPtr MainWindowController::recordAt(int row) const
{
    if (row < 0 || row >= m_searchRows->rowCount())
        return nullptr;
    return m_conversations->recordAt(m_searchRows->mapToSource(m_searchRows->index(row, 0)).row());
}

ConversationPtr MainWindowController::selectedConversation() const
{
    const auto& selected = m_services.uiState.selectedConversation();
    for (int row = 0; selected && row < m_conversations->rowCount(); ++row) {
        if (m_conversations->recordAt(row)->id() == selected)
            return m_conversations->recordAt(row);
    }
    return nullptr;
}

bool MainWindowController::showsConversation() const { return selectedConversation() != nullptr; }
QAbstractItemModel* MainWindowController::assistants() const { return m_assistantCards; }

int MainWindowController::selectedRow() const
{
    const auto& selected = m_services.uiState.selectedConversation();
    for (int row = 0; selected && row < m_searchRows->rowCount(); ++row) {
        if (recordAt(row)->id() == selected)
            return row;
    }
    return -1;
}

QString MainWindowController::selectedConversationId() const
{
    const ConversationPtr conversation = selectedConversation();
    return conversation ? conversation->id()->toString(QUuid::WithoutBraces) : QString();
}

QString MainWindowController::selectedAssistantName() const
{
    return ConversationViewController::assistantNameOf(selectedConversation());
}

bool MainWindowController::canCheckForUpdates() const { return m_services.updater.canCheckForUpdates(); }
bool MainWindowController::updatesConfigured() const { return m_services.updater.isConfigured(); }
// Another server may work without a key; OpenAI's never does.
bool MainWindowController::needsApiKey() const
{
    return Settings::instance().apiKey().isEmpty() && Endpoints::openAiServer().isOpenAi;
}

bool MainWindowController::storeIsPersistent() const { return m_services.store.isPersistent(); }

QString MainWindowController::storeWarning() const
{
    if (storeIsPersistent())
        return QString();
    return tr("Changes are not being saved: the store %1 could not be opened.")
        .arg(QDir::toNativeSeparators(m_services.store.databasePath()));
}

void MainWindowController::newConversation() { m_services.uiState.setSelectedConversation(std::nullopt); }

void MainWindowController::startConversation(int assistantRow)
{
    const AssistantPtr assistant = m_assistants->recordAt(assistantRow);
    if (!assistant || !assistant->id())
        return;
    const ConversationPtr conversation = createConversation(m_services.store, assistant);
    // The list shows the new row first; the selection follows a moment later.
    UiState* uiState = &m_services.uiState;
    QTimer::singleShot(10, uiState, [uiState, id = conversation->id()] { uiState->setSelectedConversation(id); });
}

void MainWindowController::selectRow(int row)
{
    const ConversationPtr conversation = recordAt(row);
    if (!conversation)
        return;
    m_services.uiState.setSelectedConversation(conversation->id());
    // A hit opens at its first matching message.
    if (const SearchHit* hit = m_searchRows->hitAt(row); hit && hit->messageRow)
        m_conversationView->reveal(m_services.store.messageWithRow(*conversation, hit->messageRow), m_searchText);
}

void MainWindowController::selectAdjacent(int step)
{
    const int row = selectedRow();
    selectRow(row < 0 ? 0 : row + step);
}

void MainWindowController::deleteConversationAt(int row)
{
    const ConversationPtr conversation = recordAt(row);
    if (!conversation)
        return;
    const std::optional<QUuid> id = conversation->id();
    m_services.store.deleteConversation(conversation);
    if (id && m_services.uiState.selectedConversation() == id)
        m_services.uiState.setSelectedConversation(std::nullopt);
    saveChanges(m_services.store);
}

void MainWindowController::deleteSelectedConversation() { deleteConversationAt(selectedRow()); }

void MainWindowController::openSettings() { SettingsWindow::showShared(m_services.store); }

void MainWindowController::openNewWindow()
{
    if (m_services.openWindow)
        m_services.openWindow();
}

void MainWindowController::quit() { QCoreApplication::quit(); }

void MainWindowController::checkForUpdates()
{
    if (!m_services.updater.canCheckForUpdates())
        return;
    m_awaitingUpdateCheck = true;
    m_services.updater.checkForUpdates();
}

void MainWindowController::windowShown()
{
    if (m_services.windowShown)
        m_services.windowShown();
}

void MainWindowController::renameConversationAt(int row, const QString& title)
{
    ConversationTitles::rename(m_services.store, recordAt(row), title);
}

bool MainWindowController::searching() const { return !ConversationSearch::matchExpression(m_searchText).isEmpty(); }

void MainWindowController::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    const quint64 generation = ++m_searchGeneration;
    Q_EMIT searchTextChanged();
    if (!searching()) {
        m_searchRows->showAll();
        Q_EMIT searchFinished();
        return;
    }
    // A file is searched on a worker through a connection of its own; a store
    // kept only in memory (it could not be opened) has no file to share.
    if (!m_search && m_services.store.isPersistent())
        m_search = std::make_shared<ConversationSearch>(m_services.store.databasePath());
    if (!m_search) {
        showHits(ConversationSearch::search(m_services.store.database().handle(), text));
        return;
    }
    runInPool(
        this, [search = m_search, text] { return search->search(text); },
        [this, generation](const Result<std::vector<SearchHit>>& hits) {
            if (m_searchGeneration == generation)
                showHits(hits);
        });
}

void MainWindowController::showHits(const Result<std::vector<SearchHit>>& hits)
{
    // A search that could not read the file (logged) finds nothing rather than
    // leaving the list as it was, which would look like a match.
    QHash<QString, SearchHit> byId;
    const std::vector<SearchHit> none;
    for (const SearchHit& hit : hits ? *hits : none) {
        const ConversationPtr conversation = m_services.store.conversationWithRow(hit.conversationRow);
        if (conversation && conversation->id())
            byId.insert(conversation->id()->toString(QUuid::WithoutBraces), hit);
    }
    m_searchRows->showHits(std::move(byId));
    Q_EMIT searchFinished();
}

void MainWindowController::setExportError(const QString& text)
{
    if (text == m_exportError)
        return;
    m_exportError = text;
    Q_EMIT exportErrorChanged();
}

void MainWindowController::exportConversation()
{
    const ConversationPtr conversation = selectedConversation();
    if (!conversation)
        return;
    const QString markdownFilter = tr("Markdown (*.md)");
    const QString jsonFilter = tr("JSON (*.json)");
    QString chosenFilter = markdownFilter;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString name = conversation->title().value_or(tr("Conversation"));
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    QString path = QFileDialog::getSaveFileName(nullptr, tr("Export Conversation"),
                                                folder + QLatin1Char('/') + name + QStringLiteral(".md"),
                                                markdownFilter + QStringLiteral(";;") + jsonFilter, &chosenFilter);
    if (path.isEmpty())
        return;
    const QString suffix = chosenFilter == jsonFilter ? QStringLiteral(".json") : QStringLiteral(".md");
    if (!path.endsWith(QStringLiteral(".md"), Qt::CaseInsensitive)
        && !path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
        path += suffix;
    exportConversationTo(path);
}

bool MainWindowController::exportConversationTo(const QString& path)
{
    const ConversationPtr conversation = selectedConversation();
    if (!conversation)
        return false;
    const QByteArray bytes = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)
                               ? ConversationExport::messagesJson(*conversation) + '\n'
                               : ConversationExport::markdown(*conversation).toUtf8();
    const Result<void> written = PrivateFiles::writeAtomically(path, bytes);
    setExportError(written ? QString()
                           : tr("The conversation could not be exported to %1: %2")
                                 .arg(QDir::toNativeSeparators(path), written.errorText()));
    return written.ok();
}

void MainWindowController::copyConversationAsMarkdown()
{
    if (const ConversationPtr conversation = selectedConversation())
        Clipboard::copy(ConversationExport::markdown(*conversation));
}

QString MainWindowController::updateResultText(const UpdateCheckResult& result)
{
    switch (result.outcome) {
    case UpdateCheckResult::Outcome::UpToDate:
        return tr("You're up to date. Vorbel %1 is the newest version.").arg(result.latestVersion.toHtmlEscaped());
    case UpdateCheckResult::Outcome::UpdateAvailable:
        // The feed's address is offered as a link only when it is a web page.
        if (!Endpoints::isWebAddress(result.downloadUrl))
            return tr("Vorbel %1 is available.").arg(result.latestVersion.toHtmlEscaped());
        return tr("Vorbel %1 is available.<br><a href=\"%2\">%2</a>")
            .arg(result.latestVersion.toHtmlEscaped(), result.downloadUrl.toString().toHtmlEscaped());
    case UpdateCheckResult::Outcome::Failed: break;
    }
    return tr("The update check failed: %1").arg(result.error.toHtmlEscaped());
}
