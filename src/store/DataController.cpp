#include "store/DataController.h"

#include "core/PrivateFiles.h"
#include "core/StdoutLine.h"

#include <QFileInfo>
#include <QStandardPaths>

DataController::DataController(QObject* parent)
    : QObject(parent)
    , m_path(defaultDatabasePath())
{
    // Every conversation is in there: the folders that are Vorbel's own, from
    // "Vorbel" under the data location down, are the user's alone.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    PrivateFiles::makeFolders(QFileInfo(m_path).absolutePath(), base + QStringLiteral("/Vorbel"));
    load();
}

DataController::DataController(const QString& databasePath, QObject* parent)
    : QObject(parent)
    , m_path(databasePath)
{
    load();
}

QString DataController::defaultDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Vorbel.sqlite");
}

void DataController::load()
{
    Result<std::unique_ptr<SqliteStore>, StoreError> opened = SqliteStore::open(m_path);
    m_persistent = opened.ok();
    std::unique_ptr<SqliteStore> database;
    if (opened) {
        database = std::move(opened).value();
    } else {
        printStdoutLine(QStringLiteral("Core Data failed to load: %1 (%2); changes are kept in memory only and will "
                                       "be lost when Vorbel quits")
                            .arg(opened.error().description, QFileInfo(m_path).absoluteFilePath()));
        database = SqliteStore::openInMemory();
    }
    m_context = std::make_unique<StoreContext>(std::move(database), QFileInfo(m_path).absoluteFilePath(), this);
}
