#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QString>

// One HTTP exchange performed synchronously on the calling thread, with a
// network manager and an event loop of its own. It is for work that already
// runs off the UI thread (function executions, embeddings, background checks):
// those tasks read as straight-line code and still never block the UI.
struct HttpResponse {
    bool transportOk = false;   // false: no connection, time-out, TLS failure, invalid address
    QString transportError;     // the network layer's description when transportOk is false
    int status = 0;             // HTTP status when transportOk
    QByteArray body;
};

// `timeoutMs` bounds the whole exchange. Caches are bypassed.
HttpResponse performBlockingRequest(QNetworkRequest request, const QByteArray& method,
                                    const QByteArray& body = QByteArray(), int timeoutMs = 60000);
