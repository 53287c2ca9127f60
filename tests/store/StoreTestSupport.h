#pragma once

#include "store/DataController.h"
#include "store/StoreOperations.h"
#include "support/ModelTester.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>

// In a folder that does not exist yet: the store creates it.
class TemporaryStore {
public:
    TemporaryStore() { reopen(); }
    QString path() const { return m_dir.path() + "/new/Vorbel.sqlite"; }
    StoreContext& context() { return m_controller->storeContext(); }
    void reopen()
    {
        m_controller.reset();
        m_controller = std::make_unique<DataController>(path());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DataController> m_controller;
};

// Asks the file itself, past the store's code: the first column of one row.
inline qint64 queryFile(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    qint64 value = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
}

inline int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(path.toUtf8().constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

inline QStringList column(const QAbstractItemModel& model, int role = Qt::DisplayRole)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, 0).data(role).toString();
    return values;
}
