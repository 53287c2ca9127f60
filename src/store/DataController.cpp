#include "store/DataController.h"

#include <QStandardPaths>

#include <cstdio>

DataController::DataController(QObject* parent)
    : DataController(defaultDatabasePath(), parent)
{
}

DataController::DataController(const QString& databasePath, QObject* parent)
    : QObject(parent)
{
    load(databasePath);
}

QString DataController::defaultDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Vorbel.sqlite");
}

void DataController::load(const QString& path)
{
    StoreError error;
    std::unique_ptr<SqliteStore> database = SqliteStore::open(path, &error);
    m_persistent = database != nullptr;
    if (!database) {
        std::printf("Core Data failed to load: %s\n", qPrintable(error.description));
        std::fflush(stdout);
        database = SqliteStore::openInMemory();
    }
    m_context = std::make_unique<StoreContext>(std::move(database), this);
}
