#pragma once

#include "ui/mainwindow/UpdateChecker.h"

#include <optional>

class QNetworkAccessManager;

// Our update checker: reads a small JSON feed {"version", "url", "notes"} and
// compares its version with the running one. Without a feed it cannot check.
class Updater : public UpdateChecker {
    Q_OBJECT
public:
    Updater(std::optional<QUrl> feed, QString runningVersion, QNetworkAccessManager& network,
            QObject* parent = nullptr);

    void start();
    bool canCheckForUpdates() const override { return m_canCheck; }
    bool isConfigured() const override { return m_feed.has_value(); }
    void checkForUpdates() override;

    static UpdateCheckResult evaluateFeed(const QByteArray& body, const QString& runningVersion);

private:
    void setCanCheck(bool canCheck);

    std::optional<QUrl> m_feed;
    QString m_runningVersion;
    QNetworkAccessManager& m_network;
    bool m_started = false;
    bool m_checking = false;
    bool m_canCheck = false;
};
