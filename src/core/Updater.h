#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed };
    Outcome outcome = Outcome::Failed;
    QString latestVersion;
    QUrl downloadUrl; // an http or https page, or empty
    QString notes;
    QString error;
};

// Our update checker: reads a small JSON feed {"version", "url", "notes"} and
// compares its version with the running one. Without a feed it cannot check.
class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    Updater(std::optional<QUrl> feed, QString runningVersion, QNetworkAccessManager& network,
            QObject* parent = nullptr);

    void start();
    bool canCheckForUpdates() const { return m_canCheck; }
    // Whether there is a feed to check at all.
    bool isConfigured() const { return m_feed.has_value(); }
    void checkForUpdates();

    static UpdateCheckResult evaluateFeed(const QByteArray& body, const QString& runningVersion);

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void checkFinished(const UpdateCheckResult& result);

private:
    void setCanCheck(bool canCheck);

    std::optional<QUrl> m_feed;
    QString m_runningVersion;
    QNetworkAccessManager& m_network;
    bool m_started = false;
    bool m_checking = false;
    bool m_canCheck = false;
};
