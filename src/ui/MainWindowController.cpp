#include "ui/MainWindowController.h"

#include "core/Endpoints.h"
#include "core/Settings.h"
#include "core/UiState.h"
#include "core/Updater.h"
#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "ui/ConversationViewController.h"
#include "ui/RowLabelsModel.h"
#include "ui/SettingsWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <utility>

MainWindowController::MainWindowController(const MainWindowServices& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_conversations(new ConversationListModel(services.store, this))
    , m_assistants(new AssistantListModel(services.store, this))
    , m_conversationRows(new RowLabelsModel(m_conversations, tr("unknown"), RowLabelsModel::UpdatedAtSubtitle, this))
    , m_assistantCards(new RowLabelsModel(m_assistants, tr("Unknown"), RowLabelsModel::IntroSubtitle, this))
    , m_conversationView(new ConversationViewController(services.store, services.conversationControllers,
                                                        services.uiState, this))
{
    // The detail area follows the selection, and a selected id that matches no
    // record (removed elsewhere) shows the form.
    connect(this, &MainWindowController::selectionChanged, this,
            [this] { m_conversationView->show(m_conversations->recordAt(selectedRow())); });
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
    connect(&m_services.updater, &Updater::canCheckForUpdatesChanged, this,
            &MainWindowController::canCheckForUpdatesChanged);
    connect(&m_services.updater, &Updater::checkFinished, this, [this](const UpdateCheckResult& result) {
        // Only the window that asked shows the answer.
        if (!std::exchange(m_awaitingUpdateCheck, false))
            return;
        Q_EMIT updateCheckFinished(updateResultText(result));
    });
    m_conversationView->show(m_conversations->recordAt(selectedRow()));
}

MainWindowController::~MainWindowController() = default;

QAbstractItemModel* MainWindowController::conversations() const { return m_conversationRows; }
QAbstractItemModel* MainWindowController::assistants() const { return m_assistantCards; }

int MainWindowController::selectedRow() const
{
    const auto& selected = m_services.uiState.selectedConversation();
    for (int row = 0; selected && row < m_conversations->rowCount(); ++row) {
        if (m_conversations->recordAt(row)->id() == selected)
            return row;
    }
    return -1;
}

QString MainWindowController::selectedConversationId() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : m_conversations->recordAt(row)->id()->toString(QUuid::WithoutBraces);
}

QString MainWindowController::selectedAssistantName() const
{
    return ConversationViewController::assistantNameOf(m_conversations->recordAt(selectedRow()));
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
    if (const ConversationPtr conversation = m_conversations->recordAt(row))
        m_services.uiState.setSelectedConversation(conversation->id());
}

void MainWindowController::selectAdjacent(int step)
{
    const int row = selectedRow();
    selectRow(row < 0 ? 0 : row + step);
}

void MainWindowController::deleteConversationAt(int row)
{
    const ConversationPtr conversation = m_conversations->recordAt(row);
    if (!conversation)
        return;
    const std::optional<QUuid> id = conversation->id();
    m_services.store.deleteConversation(conversation);
    if (id && m_services.uiState.selectedConversation() == id)
        m_services.uiState.setSelectedConversation(std::nullopt);
    saveContext(m_services.store);
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
    case UpdateCheckResult::Outcome::Failed:
        break;
    }
    return tr("The update check failed: %1").arg(result.error.toHtmlEscaped());
}
