#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed };
    Outcome outcome = Outcome::Failed;
    QString latestVersion;
    QUrl downloadUrl; // an http or https page, or empty
    QString notes;
    QString error;
};

// What the main window asks of the update checker. The checker itself belongs
// to the application, above the windows, so they see only this.
class UpdateChecker : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    using QObject::QObject;

    virtual bool canCheckForUpdates() const = 0;
    // Whether there is a feed to check at all.
    virtual bool isConfigured() const = 0;
    virtual void checkForUpdates() = 0;

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void checkFinished(const UpdateCheckResult& result);
};
