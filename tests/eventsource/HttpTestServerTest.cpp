#include "support/HttpTestServer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <gtest/gtest.h>

// What the stream tests take on trust beyond what they check themselves: queued answers
// in order with their status, 404 once the queue is empty, a drop seen as a broken transfer.
TEST(HttpTestServer, ServesTheQueueInOrderThen404AndDropsAsABrokenTransfer)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::text(201, R"({"ok":true})"));
    ScriptedResponse dropped = ScriptedResponse::sse({"data: a\n\n", "data: partial"}, 10);
    dropped.drop = true;
    server.enqueue(dropped);
    QNetworkAccessManager nam;
    const auto get = [&] {
        std::shared_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(server.baseUrl())));
        EXPECT_TRUE(QTest::qWaitFor([&] { return reply->isFinished(); }));
        return reply;
    };
    const auto first = get();
    EXPECT_EQ(first->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
    EXPECT_EQ(first->readAll(), R"({"ok":true})");
    const auto cut = get();
    EXPECT_NE(cut->error(), QNetworkReply::NoError);
    EXPECT_EQ(cut->readAll(), "data: a\n\ndata: partial");
    EXPECT_EQ(get()->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    EXPECT_EQ(server.requestCount(), 3);
}
