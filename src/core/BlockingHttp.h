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
    bool transportOk = false; // false: no connection, time-out, TLS failure, invalid address
    QString transportError;   // the network layer's description when transportOk is false
    int status = 0;           // HTTP status when transportOk
    QByteArray body;
    // The answer came but its body outgrew the limit: it was not read (body is empty).
    bool bodyTooLarge = false;
};

// No answer we ask for comes near this; a server that sends more is not believed.
inline constexpr qint64 defaultMaxBodyBytes = 16 * 1024 * 1024;

// `timeoutMs` bounds the whole exchange. Caches are bypassed. Redirects are
// never followed: every caller sends a key (a header or a query item) that
// belongs to the host it asked, so a 3xx comes back as the answer's status.
HttpResponse performBlockingRequest(QNetworkRequest request, const QByteArray& method,
                                    const QByteArray& body = QByteArray(), int timeoutMs = 60000,
                                    qint64 maxBodyBytes = defaultMaxBodyBytes);
