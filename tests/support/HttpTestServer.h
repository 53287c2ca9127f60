#pragma once

// A scriptable HTTP/1.1 server for tests. It listens on 127.0.0.1 on a free port and
// serves from a thread of its own, so a test may block its own thread while requests
// are answered. Each request is recorded; each answer comes from the handler if one is
// set, else from the queue (404 with an empty body when the queue is empty).
//
//   HttpTestServer server;
//   server.enqueue(ScriptedResponse::sse({"data: a\n\n", "data: b\n\n"}, 20));
//   ... point the client at server.baseUrl() ...
//   ASSERT_TRUE(server.waitForRequests(1));
//   EXPECT_EQ(server.requests().at(0).header("accept"), "text/event-stream");

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

struct RecordedRequest {
    QByteArray method;
    QByteArray path;                              // includes the query string, e.g. "/v1/result?i=2%20%2B%202"
    QList<QPair<QByteArray, QByteArray>> headers; // as received
    QByteArray body;

    QByteArray header(const QByteArray& name) const; // case-insensitive, empty when absent
    bool hasHeader(const QByteArray& name) const;
};

struct ScriptedResponse {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers; // e.g. {"Content-Type","text/event-stream"}
    QList<QPair<int, QByteArray>> pieces;         // (delay in ms before this piece, bytes)
    bool chunked = true;                          // false: Content-Length of the whole body
    // Close the socket abruptly after the pieces, without finishing the body: the last
    // chunk is announced one byte longer than sent (without chunking, the Content-Length
    // is one byte more than the body), the response says "Connection: close", and the
    // socket is reset a moment after the last piece.
    bool drop = false;

    static ScriptedResponse text(int status, const QByteArray& body,
                                 const QByteArray& contentType = "application/json");
    // 200, text/event-stream, chunked; delayMs is waited before every piece.
    static ScriptedResponse sse(const QList<QByteArray>& pieces, int delayMs = 0);
};

class HttpTestServer {
public:
    HttpTestServer();
    // Listens on another loopback address ("127.0.0.2"): a second host for tests
    // that check what must never leave the first.
    explicit HttpTestServer(const QString& loopbackAddress);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    QUrl baseUrl() const; // "http://127.0.0.1:PORT", or the address it was given

    void enqueue(const ScriptedResponse& r);
    // Used instead of the queue when set; called on the server thread.
    void setHandler(std::function<ScriptedResponse(const RecordedRequest&)> h);

    QList<RecordedRequest> requests() const; // thread-safe snapshot
    int requestCount() const;
    // Spins the calling thread's event loop while waiting.
    bool waitForRequests(int count, int timeoutMs = 5000) const;

    // An address on 127.0.0.1 where nothing listens.
    static QUrl refusedUrl();

    class Private;

private:
    std::unique_ptr<Private> d;
};
