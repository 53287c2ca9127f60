#include "core/BlockingHttp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

HttpResponse performBlockingRequest(QNetworkRequest request, const QByteArray& method, const QByteArray& body,
                                    int timeoutMs)
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
    request.setTransferTimeout(timeoutMs);

    QNetworkAccessManager manager;
    QEventLoop loop;
    QNetworkReply* reply = manager.sendCustomRequest(request, method, body);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
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
    if (status.isValid() && !networkFailure) {
        response.transportOk = true;
        response.status = status.toInt();
        response.body = reply->readAll();
    } else {
        response.transportError = reply->errorString();
    }
    delete reply;
    return response;
}
