#include "eventsource/EventSource.h"

#include "support/HttpTestServer.h"

#include "RecordingHandler.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

QStringList logLines;

void captureLog(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (qstrcmp(context.category, "vorbel.eventsource") == 0)
        logLines.append(message);
}

// For what must not happen (a reconnect, a late call): whether it does within a few back-offs.
bool happens(const std::function<bool()>& fault) { return QTest::qWaitFor(fault, 150); }

// Back-off of about ten milliseconds, so reconnections happen at once.
Config fastConfig(const QUrl& url)
{
    Config config(url);
    config.reconnectTime = 0.01;
    config.maxReconnectTime = 0.05;
    config.random = [] { return 0.0; };
    return config;
}

ScriptedResponse longStream(const QList<QByteArray>& pieces)
{
    ScriptedResponse r = ScriptedResponse::sse(pieces, 5);
    r.pieces.append({60000, "data: never\n\n"});
    return r;
}

// Every test keeps the stream's log lines to itself.
class EventSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        logLines.clear();
        previous = qInstallMessageHandler(&captureLog);
    }
    void TearDown() override { qInstallMessageHandler(previous); }
    static int logged(const QString& line) { return int(logLines.count(line)); }
    QtMessageHandler previous = nullptr;
};

} // namespace

// A stream that ends, is refused, ends again and is finally answered with 204.
TEST_F(EventSourceTest, ReconnectsWithLastIdAndRetryUntilNoContentShutsItDown)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"id: 1\nretry: 40\ndata: a\n\n", ": ping\n", "data: b\n\n", "data: cut"}, 5));
    server.enqueue(ScriptedResponse::text(500, R"({"error":"busy"})"));
    server.enqueue(ScriptedResponse::sse({"data: c\n\n"}));
    server.enqueue(ScriptedResponse::text(204, {}));
    Config config = fastConfig(server.baseUrl());
    config.maxReconnectTime = 1.0;
    EventSource stream(config);
    RecordingHandler handler(stream);
    EXPECT_EQ(stream.readyState(), ReadyState::Raw);
    stream.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stream.readyState() == ReadyState::Shutdown; }));
    EXPECT_EQ(stream.lastEventId(), "1");
    EXPECT_FALSE(happens([&] { return server.requestCount() > 4; }));

    // The partial event of the first connection is dropped, not completed by a later one;
    // a refused attempt never opens, so it does not close either; 204 is no error.
    EXPECT_EQ(handler.calls, Calls({"open", "event message|a|1", "comment  ping", "event message|b|1", "close",
                                    "error 500", "open", "event message|c|1", "close"}));
    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_FALSE(requests[0].hasHeader("Last-Event-Id"));
    EXPECT_EQ(requests[3].header("Last-Event-Id"), "1");

    // With no jitter the waits are retry * 2^n / 2.
    const QStringList lines = logLines;
    EXPECT_EQ(lines.filter(QStringLiteral("Waiting")), QStringList({"Waiting 0.040 seconds before reconnecting...",
                                                                    "Waiting 0.080 seconds before reconnecting...",
                                                                    "Waiting 0.160 seconds before reconnecting..."}));
    for (const char* expected :
         {"State: raw -> connecting", "Starting EventSource client", "Initial reply received",
          "State: connecting -> open", "Connection unexpectedly closed.", "State: open -> closed",
          "Unsuccessful response: 500", "State: closed -> open", "Unsuccessful response: 204",
          "Connection has been explicitly shut down by error handler", "State: closed -> shutdown"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected;
}

// Broken while open: stalled past the idle timeout, or a line or event's data over its limit.
TEST_F(EventSourceTest, BrokenTransferWhileOpenIsReportedAndRetriedUnlessTheHandlerShutsDown)
{
    const struct {
        std::function<void(Config&)> configure;
        QList<QByteArray> pieces; // then the stream stalls
        QByteArray passes;        // data of the one event that gets through
        QString logged;
        bool shutDown = false;
    } cases[] = {
        {[](Config& config) { config.idleTimeout = 1.0; },
         {"data: x\n\n"},
         "x",
         "Connection error: The request timed out."},
        {[](Config& config) { config.maxLineBytes = 16; },
         {"data: 0123456789\n\n", "data: 01234567890\n"},
         "0123456789",
         "Connection error: The event stream sent a line longer than 16 bytes."},
        {[](Config& config) { config.maxEventDataBytes = 16; },
         {"data: 01234567\ndata: 0123456\n\n", "data: 01234567\ndata: 01234567\n\n"},
         "01234567\n0123456",
         "Connection error: The event stream sent an event of more than 16 bytes."},
        {[](Config& config) { config.maxLineBytes = 8; },
         {"data: x\n\n", "data: 0123456789\n"},
         "x",
         "Connection has been explicitly shut down by error handler",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged.toStdString());
        HttpTestServer server;
        server.enqueue(longStream(c.pieces));
        server.enqueue(longStream({}));
        int asked = 0;
        Config config = fastConfig(server.baseUrl());
        c.configure(config);
        if (c.shutDown)
            config.connectionErrorHandler = [&asked](const EventSourceError&) {
                ++asked;
                return ConnectionErrorAction::Shutdown;
            };
        EventSource stream(config);
        RecordingHandler handler(stream);
        stream.start();
        const QByteArray passed = "event message|" + c.passes + '|'; // what is within the limit passes
        if (c.shutDown) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return stream.readyState() == ReadyState::Shutdown; }));
            EXPECT_FALSE(happens([&] { return server.requestCount() > 1; }));
            EXPECT_EQ(handler.calls, Calls({"open", passed, "close"}));
            EXPECT_EQ(asked, 1);
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return handler.calls.count("open") == 2; }));
            EXPECT_EQ(handler.calls, Calls({"open", passed, "error transport", "close", "open"}));
        }
        stream.stop();
        EXPECT_EQ(logged(c.logged), 1);
    }
}

TEST_F(EventSourceTest, StartsOnceAndStopWhileOpenClosesExactlyOnce)
{
    HttpTestServer server;
    QList<QByteArray> many;
    for (int i = 0; i < 200; ++i)
        many.append("data: " + QByteArray::number(i) + "\n\n");
    server.enqueue(longStream(many));
    EventSource stream(fastConfig(server.baseUrl()));
    RecordingHandler handler(stream);
    stream.start();
    stream.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.calls.size() >= 3; }));
    stream.stop();
    EXPECT_EQ(handler.calls.count("close"), 1);
    const Calls atClose = handler.calls;
    EXPECT_EQ(atClose.last(), "close");
    // Neither stopping nor starting again does anything.
    stream.stop();
    stream.start();
    const QString ignored = QStringLiteral("start() called on already-started EventSource object. Returning");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(ignored) == 2; }));
    EXPECT_FALSE(happens([&] { return handler.calls != atClose || server.requestCount() > 1; }));
}

TEST_F(EventSourceTest, SendsTheConfiguredRequestAndLastEventId)
{
    HttpTestServer server;
    server.setHandler([](const RecordedRequest&) { return longStream({}); });
    // Method, body and headers; a header overriding the id; a transform removing it.
    const std::function<void(Config&)> variants[] = {
        [](Config& config) {
            config.method = "POST";
            config.body = R"({"model":"m","text":"caf\u00e9"})";
            config.headers = {{"Accept", "application/x-ndjson"}};
        },
        [](Config& config) {
            config.headers = {{"Last-Event-Id", "override"}};
        },
        [](Config& config) {
            config.headerTransform = [](HeaderMap headers) {
                headers.remove("Last-Event-Id");
                headers.insert("X-Seen", "yes");
                return headers;
            };
        },
    };
    for (int i = 0; i < 3; ++i) {
        Config config = fastConfig(server.baseUrl().resolved(QUrl("/v1/chat/completions?x=1")));
        config.lastEventId = "5";
        variants[i](config);
        EventSource stream(config);
        EXPECT_EQ(stream.lastEventId(), "5");
        stream.start();
        ASSERT_TRUE(server.waitForRequests(i + 1));
        stream.stop();
    }
    const QList<RecordedRequest> requests = server.requests();
    EXPECT_EQ(requests[0].method + ' ' + requests[0].path, "POST /v1/chat/completions?x=1");
    EXPECT_EQ(requests[0].body, R"({"model":"m","text":"caf\u00e9"})");
    EXPECT_EQ(requests[0].header("Last-Event-Id"), "5");
    // A request's own Accept is kept; the missing Cache-Control is added.
    EXPECT_EQ(requests[0].header("Accept"), "application/x-ndjson");
    EXPECT_EQ(requests[0].header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].header("Accept"), "text/event-stream");
    EXPECT_EQ(requests[1].header("Last-Event-Id"), "override");
    EXPECT_FALSE(requests[2].hasHeader("Last-Event-Id"));
    EXPECT_EQ(requests[2].header("X-Seen"), "yes");
}

// A slot that stops or deletes its own stream gets no later event, even of the same read.
TEST_F(EventSourceTest, StopOrDeleteEndsTheSignalsAtOnceEvenFromInsideASlot)
{
    HttpTestServer server;
    server.setHandler([](const RecordedRequest&) { return longStream({"data: 1\n\ndata: 2\n\ndata: 3\n\n"}); });
    for (const bool destroy : {false, true}) {
        auto stream = std::make_unique<EventSource>(fastConfig(server.baseUrl()));
        RecordingHandler handler(*stream);
        handler.whenEvent = [&stream, destroy](const MessageEvent& event) {
            if (destroy)
                stream.reset();
            else if (event.data == "2")
                stream->stop();
        };
        stream->start();
        const Calls expected = destroy ? Calls({"open", "event message|1|"})
                                       : Calls({"open", "event message|1|", "event message|2|", "close"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return handler.calls.size() == expected.size(); }));
        EXPECT_FALSE(happens([&] { return handler.calls.size() > expected.size(); }));
        EXPECT_EQ(handler.calls, expected);
    }
}
