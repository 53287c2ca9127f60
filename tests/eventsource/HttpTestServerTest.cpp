#include "support/HttpTestServer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Waits for the reply on the test thread; the server answers from its own thread.
QNetworkReply* finish(QNetworkReply* reply)
{
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return reply;
}

QNetworkRequest requestFor(const HttpTestServer& server, const QString& path)
{
    return QNetworkRequest(server.baseUrl().resolved(QUrl(path)));
}

} // namespace

TEST(HttpTestServer, RecordsRequestsAndServesQueueInOrderOnOneKeptAliveConnection)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::text(201, R"({"ok":true})"));
    server.enqueue(ScriptedResponse::text(500, "boom", "text/plain"));
    QNetworkAccessManager nam;

    QNetworkRequest post = requestFor(server, "/v1/result?i=2%20%2B%202");
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    post.setRawHeader("X-Custom", "Value One");
    std::unique_ptr<QNetworkReply> first(finish(nam.post(post, R"({"a":1})")));
    EXPECT_EQ(first->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
    EXPECT_EQ(first->readAll(), R"({"ok":true})");

    std::unique_ptr<QNetworkReply> second(finish(nam.get(requestFor(server, "/two"))));
    EXPECT_EQ(second->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 500);
    EXPECT_EQ(second->readAll(), "boom");

    // The queue is empty now.
    std::unique_ptr<QNetworkReply> third(finish(nam.get(requestFor(server, "/three"))));
    EXPECT_EQ(third->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    EXPECT_TRUE(third->readAll().isEmpty());

    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/v1/result?i=2%20%2B%202");
    EXPECT_EQ(requests[0].body, R"({"a":1})");
    EXPECT_EQ(requests[0].header("x-custom"), "Value One");
    EXPECT_TRUE(requests[0].hasHeader("CONTENT-TYPE"));
    EXPECT_FALSE(requests[0].hasHeader("X-Absent"));
    EXPECT_TRUE(requests[0].header("X-Absent").isEmpty());
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].path, "/two");
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST(HttpTestServer, StreamsPiecesChunkedAndDropsAbruptly)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"data: a\n\n", "", "data: b\n\n"}, 10));
    ScriptedResponse dropped = ScriptedResponse::sse({"data: partial"});
    dropped.drop = true;
    server.enqueue(dropped);
    ScriptedResponse droppedPlain = ScriptedResponse::text(200, "half");
    droppedPlain.drop = true;
    server.enqueue(droppedPlain);
    QNetworkAccessManager nam;

    std::unique_ptr<QNetworkReply> whole(finish(nam.get(requestFor(server, "/stream"))));
    EXPECT_EQ(whole->error(), QNetworkReply::NoError);
    EXPECT_EQ(whole->header(QNetworkRequest::ContentTypeHeader).toString(), "text/event-stream");
    EXPECT_EQ(whole->readAll(), "data: a\n\ndata: b\n\n");

    std::unique_ptr<QNetworkReply> cut(finish(nam.get(requestFor(server, "/stream"))));
    EXPECT_NE(cut->error(), QNetworkReply::NoError);
    EXPECT_EQ(cut->readAll(), "data: partial");

    std::unique_ptr<QNetworkReply> cutPlain(finish(nam.get(requestFor(server, "/plain"))));
    // Qt does not always report a short Content-Length body as an error, so only the
    // bytes are checked here.
    EXPECT_EQ(cutPlain->readAll(), "half");
}

TEST(HttpTestServer, ServesSeveralConnectionsAtOnceThroughTheHandler)
{
    HttpTestServer server;
    // Each answer is slow, so the replies overlap in time on separate connections.
    server.setHandler([](const RecordedRequest& request) {
        ScriptedResponse r = ScriptedResponse::text(200, request.path);
        r.pieces = {{150, request.path}};
        return r;
    });
    QNetworkAccessManager nam;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (int i = 0; i < 4; ++i)
        replies.emplace_back(nam.get(requestFor(server, QStringLiteral("/r%1").arg(i))));
    EXPECT_TRUE(server.waitForRequests(4));
    for (int i = 0; i < 4; ++i) {
        finish(replies[i].get());
        EXPECT_EQ(replies[i]->readAll(), QStringLiteral("/r%1").arg(i).toUtf8());
    }
    EXPECT_GE(server.connectionCount(), 2);
}

TEST(HttpTestServer, RefusedUrlRefusesAndWaitGivesUp)
{
    HttpTestServer server;
    EXPECT_FALSE(server.waitForRequests(1, 50));
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> reply(finish(nam.get(QNetworkRequest(HttpTestServer::refusedUrl()))));
    EXPECT_EQ(reply->error(), QNetworkReply::ConnectionRefusedError);
}
