#include "app/Updater.h"

#include "app/AppLog.h"
#include "core/Endpoints.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVersionNumber>

Updater::Updater(std::optional<QUrl> feed, QString runningVersion, QNetworkAccessManager& network, QObject* parent)
    : UpdateChecker(parent)
    , m_feed(std::move(feed))
    , m_runningVersion(std::move(runningVersion))
    , m_network(network)
{
}

void Updater::start()
{
    m_started = true;
    setCanCheck(m_feed.has_value() && !m_checking);
}

void Updater::setCanCheck(bool canCheck)
{
    if (canCheck == m_canCheck)
        return;
    m_canCheck = canCheck;
    Q_EMIT canCheckForUpdatesChanged(canCheck);
}

UpdateCheckResult Updater::evaluateFeed(const QByteArray& body, const QString& runningVersion)
{
    UpdateCheckResult result;
    const QJsonObject feed = QJsonDocument::fromJson(body).object();
    const QString version = feed.value("version").toString();
    const QVersionNumber latest = QVersionNumber::fromString(version);
    if (latest.isNull()) {
        result.error = QStringLiteral("The update feed could not be read.");
        return result;
    }
    result.latestVersion = version;
    // Whoever serves the feed writes the page the user is sent to: only a web
    // page is offered, never a file, a script or another program's scheme.
    const QUrl downloadUrl(feed.value("url").toString(), QUrl::StrictMode);
    if (Endpoints::isWebAddress(downloadUrl))
        result.downloadUrl = downloadUrl;
    else if (!downloadUrl.isEmpty())
        qCInfo(lcApp) << "The feed's download address is not a web address; scheme:" << downloadUrl.scheme();
    result.notes = feed.value("notes").toString();
    result.outcome = latest > QVersionNumber::fromString(runningVersion) ? UpdateCheckResult::Outcome::UpdateAvailable
                                                                         : UpdateCheckResult::Outcome::UpToDate;
    return result;
}

void Updater::checkForUpdates()
{
    if (!m_canCheck || !m_feed)
        return;
    m_checking = true;
    setCanCheck(false);
    QNetworkRequest request(*m_feed);
    request.setTransferTimeout(60000);
    request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network.get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        UpdateCheckResult result;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status == 200)
            result = evaluateFeed(reply->readAll(), m_runningVersion);
        else
            result.error = reply->errorString();
        m_checking = false;
        setCanCheck(m_started);
        Q_EMIT checkFinished(result);
    });
}
