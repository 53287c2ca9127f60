#include "ui/MainWindow.h"

#include "core/UiState.h"
#include "core/Updater.h"
#include "store/ListModels.h"
#include "ui/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Vorbel"));
    resize(1000, 700);

    auto* splitter = new QSplitter(this);
    m_model = new ConversationListModel(m_services.store, this);
    m_list = new QListView(splitter);
    m_list->setModel(m_model);
    m_list->setMinimumWidth(200);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_detail = new QStackedWidget(splitter);
    auto* placeholder = new QLabel(tr("Start a new conversation"), m_detail);
    placeholder->setAlignment(Qt::AlignCenter);
    m_detail->addWidget(placeholder);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        const QVariant id = current.data(RecordIdRole);
        m_services.uiState.setSelectedConversation(id.isValid() ? std::optional<QUuid>(QUuid(id.toString()))
                                                             : std::nullopt);
    });
    connect(&m_services.uiState, &UiState::selectedConversationChanged, this, &MainWindow::syncSelectionFromState);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &MainWindow::syncSelectionFromState);
    buildMenus();
    syncSelectionFromState();
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_newConversation = file->addAction(tr("New Conversation"));
    m_newConversation->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_newConversation, &QAction::triggered, this, [this] { m_services.uiState.setSelectedConversation(std::nullopt); });
    QAction* newWindow = file->addAction(tr("New Window"));
    newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    connect(newWindow, &QAction::triggered, this, [this] { (new MainWindow(m_services))->show(); });
    file->addSeparator();
    QAction* settings = file->addAction(tr("Settings…"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, [] { SettingsWindow::showShared(); });
    file->addSeparator();
    QAction* quit = file->addAction(tr("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    m_checkForUpdates = help->addAction(QStringLiteral("Check for Updates…"));
    m_checkForUpdates->setEnabled(m_services.updater.canCheckForUpdates());
    connect(&m_services.updater, &Updater::canCheckForUpdatesChanged, m_checkForUpdates, &QAction::setEnabled);
    connect(m_checkForUpdates, &QAction::triggered, this, [this] {
        // Only the window that asked shows the answer.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(&m_services.updater, &Updater::checkFinished, this,
                              [this, connection](const UpdateCheckResult& result) {
                                  disconnect(*connection);
                                  QString text;
                                  switch (result.outcome) {
                                  case UpdateCheckResult::Outcome::UpToDate:
                                      text = tr("You're up to date. Vorbel %1 is the newest version.").arg(result.latestVersion);
                                      break;
                                  case UpdateCheckResult::Outcome::UpdateAvailable:
                                      text = tr("Vorbel %1 is available.<br><a href=\"%2\">%2</a>")
                                                 .arg(result.latestVersion.toHtmlEscaped(),
                                                      result.downloadUrl.toString().toHtmlEscaped());
                                      break;
                                  case UpdateCheckResult::Outcome::Failed:
                                      text = tr("The update check failed: %1").arg(result.error.toHtmlEscaped());
                                      break;
                                  }
                                  QMessageBox box(QMessageBox::Information, tr("Check for Updates"), text, QMessageBox::Ok, this);
                                  box.setTextFormat(Qt::RichText);
                                  box.setTextInteractionFlags(Qt::TextBrowserInteraction);
                                  box.exec();
                              });
        m_services.updater.checkForUpdates();
    });
}

void MainWindow::syncSelectionFromState()
{
    const auto& selected = m_services.uiState.selectedConversation();
    int row = -1;
    for (int i = 0; selected && i < m_model->rowCount(); ++i) {
        if (m_model->recordAt(i)->id() == selected)
            row = i;
    }
    const QModelIndex target = row >= 0 ? m_model->index(row) : QModelIndex();
    if (m_list->currentIndex() != target) {
        QSignalBlocker block(m_list->selectionModel());
        m_list->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        m_list->viewport()->update();
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        m_services.windowShown();
}
