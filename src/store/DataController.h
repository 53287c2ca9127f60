#pragma once

#include "store/StoreContext.h"

#include <QObject>
#include <QString>

#include <memory>

// Owns the store: opens "Vorbel.sqlite" in the application data folder and
// keeps the single main context for the life of the process. When the file
// cannot be opened the failure is printed and the app runs on with a store in
// memory (isPersistent() false, so windows can say that nothing is kept); the
// file itself is left untouched.
class DataController : public QObject {
    Q_OBJECT
public:
    explicit DataController(QObject* parent = nullptr);
    // Opens the store at an explicit path (tests, tools); its folder is the
    // caller's and keeps its access.
    explicit DataController(const QString& databasePath, QObject* parent = nullptr);

    static QString defaultDatabasePath();

    StoreContext& storeContext() { return *m_context; }
    bool isPersistent() const { return m_persistent; }
    const QString& databasePath() const { return m_path; }

private:
    void load();

    QString m_path;
    std::unique_ptr<StoreContext> m_context;
    bool m_persistent = false;
};
