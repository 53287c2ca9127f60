#include "core/BlockingHttp.h"

#include "core/Endpoints.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

HttpResponse performBlockingRequest(QNetworkRequest request, const QByteArray& method, const QByteArray& body,
                                    int timeoutMs, qint64 maxBodyBytes)
{
    Q_ASSERT_X(!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread(),
               "performBlockingRequest", "must not run on the UI thread");
    HttpResponse response;
    if (!request.url().isValid() || request.url().scheme().isEmpty() || request.url().host().isEmpty()) {
        response.transportError = QStringLiteral("Invalid address");
        return response;
    }
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Followed, a redirect would carry the credentials to wherever it points.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);

    QNetworkAccessManager manager;
    QEventLoop loop;
    request.setHeader(QNetworkRequest::UserAgentHeader, Endpoints::userAgent());
    QNetworkReply* reply = manager.sendCustomRequest(request, method, body);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The body is taken as it comes, so an oversized one is never held whole.
    bool tooLarge = false;
    const auto refuseIfOver = [&](qint64 size) {
        if (tooLarge || size <= maxBodyBytes)
            return;
        tooLarge = true;
        response.body.clear();
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop,
                     [&] { refuseIfOver(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong()); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        refuseIfOver(response.body.size() + reply->bytesAvailable());
        if (!tooLarge)
            response.body += reply->readAll();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An HTTP error status is still an answer; a network-level error (refused,
    // dropped mid-body, timed out) is a transport failure even after a status.
    const bool networkFailure = reply->error() > QNetworkReply::NoError && reply->error() < 100;
    if (status.isValid() && tooLarge) {
        response.transportOk = true;
        response.status = status.toInt();
        response.bodyTooLarge = true;
    } else if (status.isValid() && !networkFailure) {
        response.transportOk = true;
        response.status = status.toInt();
        response.body += reply->readAll();
        if (response.body.size() > maxBodyBytes) {
            response.body.clear();
            response.bodyTooLarge = true;
        }
    } else {
        response.body.clear();
        response.transportError = reply->errorString();
    }
    delete reply;
    return response;
}
