#include "eventsource/EventSource.h"

#include "support/HttpTestServer.h"

#include "RecordingHandler.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

namespace {

using Calls = QList<QByteArray>;

// Collects the stream's log lines from every thread.
class LogCapture {
public:
    LogCapture()
    {
        QMutexLocker lock(&s_mutex);
        s_lines.clear();
        s_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(s_previous); }

    static QStringList lines()
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }
    static int count(const QString& line) { return int(lines().count(line)); }

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        if (qstrcmp(context.category, "vorbel.eventsource") != 0)
            return;
        QMutexLocker lock(&s_mutex);
        s_lines.append(message);
    }

    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Gives a stream time to do something it must not do (reconnect, call back).
void settle()
{
    QTest::qWait(150);
}

class ScriptedHandler : public RecordingHandler {
public:
    std::function<void(const MessageEvent&)> whenEvent;
    void onEvent(const QByteArray& type, const MessageEvent& event) override
    {
        RecordingHandler::onEvent(type, event);
        if (whenEvent)
            whenEvent(event);
    }
};

// Back-off of about ten milliseconds, so reconnections happen at once.
Config fastConfig(std::shared_ptr<EventHandler> handler, const QUrl& url)
{
    Config config(std::move(handler), url);
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

// Every test keeps the stream's log to itself.
class EventSourceTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "Stream log:\n" << log.lines().join('\n').toStdString() << std::endl;
    }
    LogCapture log;
};

} // namespace

TEST_F(EventSourceTest, OpensDeliversClosesAndReconnectsWithLastEventId)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"id: 1\ndata: a\n\n", ": ping\n", "data: b\n\n", "data: cut"}, 5));
    server.enqueue(longStream({"data: c\n\n"}));
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl().resolved(QUrl("/events"))));
    EXPECT_EQ(stream.readyState(), ReadyState::raw);
    stream.start();

    ASSERT_TRUE(waitUntil([&] { return handler->calls().contains("event message|c|1"); }));
    EXPECT_EQ(stream.readyState(), ReadyState::open);
    EXPECT_EQ(stream.getLastEventId(), "1");
    stream.stop();
    ASSERT_TRUE(waitUntil([&] { return stream.readyState() == ReadyState::shutdown && handler->count("close") == 2; }));
    settle();

    // The partial event of the first connection is dropped, not completed by the second.
    EXPECT_EQ(handler->calls(), Calls({"open", "event message|a|1", "comment  ping", "event message|b|1", "close",
                                       "open", "event message|c|1", "close"}));
    EXPECT_EQ(handler->callsOnMainThread(), 0);

    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/events");
    EXPECT_FALSE(requests[0].hasHeader("Last-Event-Id"));
    EXPECT_EQ(requests[0].header("Accept"), "text/event-stream");
    EXPECT_EQ(requests[0].header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests[1].header("Last-Event-Id"), "1");

    const QStringList lines = log.lines();
    for (const char* expected : {"State: raw -> connecting", "Starting EventSource client", "Initial reply received",
                                 "State: connecting -> open", "Connection unexpectedly closed.", "State: open -> closed",
                                 "Waiting 0.010 seconds before reconnecting...", "State: closed -> open",
                                 "State: open -> shutdown"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected;
}

TEST_F(EventSourceTest, RetryFieldSetsTheBaseOfLaterWaits)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::sse({"retry: 40\ndata: a\n\n"}));
    server.enqueue(ScriptedResponse::text(500, {}));
    server.enqueue(longStream({"data: b\n\n"}));
    auto handler = std::make_shared<RecordingHandler>();
    Config config = fastConfig(handler, server.baseUrl());
    config.maxReconnectTime = 1.0;
    EventSource stream(config);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->calls().contains("event message|b|"); }));
    stream.stop();
    // With no jitter the waits are base * 2^n / 2: 0.040 s, then 0.080 s.
    const QStringList waits = log.lines().filter(QStringLiteral("Waiting"));
    EXPECT_EQ(waits, QStringList({"Waiting 0.040 seconds before reconnecting...",
                                  "Waiting 0.080 seconds before reconnecting..."}));
}

TEST_F(EventSourceTest, NoContentShutsDownWithoutErrorOrReconnect)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::text(204, {}));
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return stream.readyState() == ReadyState::shutdown; }));
    settle();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(handler->calls().isEmpty());
    EXPECT_EQ(log.count("Unsuccessful response: 204"), 1);
    EXPECT_EQ(log.count("Connection has been explicitly shut down by error handler"), 1);
}

TEST_F(EventSourceTest, ServerErrorIsReportedAndRetriedWithoutEverOpening)
{
    HttpTestServer server;
    server.enqueue(ScriptedResponse::text(500, R"({"error":"busy"})"));
    server.enqueue(ScriptedResponse::text(503, {}));
    server.enqueue(longStream({"data: ok\n\n"}));
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->calls().contains("event message|ok|"); }));
    EXPECT_EQ(handler->calls(), Calls({"error 500", "error 503", "open", "event message|ok|"}));
    EXPECT_EQ(server.requestCount(), 3);
    stream.stop();
    ASSERT_TRUE(waitUntil([&] { return handler->count("close") == 1; }));
}

TEST_F(EventSourceTest, TransportErrorsAreReportedAndRetried)
{
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, HttpTestServer::refusedUrl()));
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->count("error transport") >= 3; }));
    stream.stop();
    ASSERT_TRUE(waitUntil([&] { return stream.readyState() == ReadyState::shutdown; }));
    EXPECT_FALSE(handler->calls().contains("open"));
    EXPECT_FALSE(handler->calls().contains("close"));
    EXPECT_GE(log.lines().filter(QStringLiteral("Connection error: ")).size(), 3);
}

TEST_F(EventSourceTest, IdleTimeoutIsATransportError)
{
    HttpTestServer server;
    server.enqueue(longStream({"data: first\n\n"}));
    server.enqueue(longStream({}));
    auto handler = std::make_shared<RecordingHandler>();
    Config config = fastConfig(handler, server.baseUrl());
    config.idleTimeout = 1.0;
    EventSource stream(config);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->count("open") == 2; }));
    stream.stop();
    EXPECT_EQ(handler->calls().mid(0, 5), Calls({"open", "event message|first|", "error transport", "close", "open"}));
    EXPECT_EQ(log.count("Connection error: The request timed out."), 1);
}

TEST_F(EventSourceTest, ErrorHandlerShuttingDownATransportErrorWhileOpenClosesOnce)
{
    HttpTestServer server;
    server.enqueue(longStream({"data: x\n\n"})); // then stalls past the idle timeout
    auto handler = std::make_shared<RecordingHandler>();
    std::atomic<int> asked{0};
    Config config = fastConfig(handler, server.baseUrl());
    config.idleTimeout = 1.0;
    config.connectionErrorHandler = [&asked](const EventSourceErrorPtr& error) {
        ++asked;
        return std::dynamic_pointer_cast<const StreamTransportError>(error) ? ConnectionErrorAction::shutdown
                                                                       : ConnectionErrorAction::proceed;
    };
    EventSource stream(config);
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return stream.readyState() == ReadyState::shutdown; }));
    settle();
    EXPECT_EQ(handler->calls(), Calls({"open", "event message|x|", "close"}));
    EXPECT_EQ(asked.load(), 1);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(log.count("Connection has been explicitly shut down by error handler"), 1);
}

TEST_F(EventSourceTest, DroppedConnectionDiscardsThePartialEventAndResumes)
{
    HttpTestServer server;
    // Answers by the id the client sends rather than by arrival: Qt itself may send a
    // dropped GET again, which must not take the resumed stream's answer.
    server.setHandler([](const RecordedRequest& request) {
        if (request.header("Last-Event-Id") == "9")
            return longStream({"data: y\n\n"});
        ScriptedResponse dropped = ScriptedResponse::sse({"id: 9\ndata: x\n\n", "data: partial"});
        dropped.drop = true;
        return dropped;
    });
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->calls().contains("event message|y|9"); }));
    stream.stop();
    ASSERT_TRUE(waitUntil([&] { return handler->count("close") == 2; }));
    // Qt reports some cuts as a clean end of the body, so an error call may or may not come.
    Calls calls = handler->calls();
    calls.removeAll("error transport");
    EXPECT_EQ(calls, Calls({"open", "event message|x|9", "close", "open", "event message|y|9", "close"}));
    EXPECT_EQ(server.requests().last().header("Last-Event-Id"), "9");
}

TEST_F(EventSourceTest, StopWhileOpenClosesExactlyOnceAndNothingFollows)
{
    HttpTestServer server;
    QList<QByteArray> many;
    for (int i = 0; i < 200; ++i)
        many.append("data: " + QByteArray::number(i) + "\n\n");
    server.enqueue(longStream(many));
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->calls().size() >= 3; }));
    stream.stop();
    ASSERT_TRUE(waitUntil([&] { return handler->count("close") == 1; }));
    const Calls atClose = handler->calls();
    settle();
    EXPECT_EQ(handler->calls(), atClose);
    EXPECT_EQ(atClose.last(), "close");
    EXPECT_EQ(handler->count("close"), 1);
    EXPECT_EQ(server.requestCount(), 1);
    // Stopping again changes nothing.
    stream.stop();
    settle();
    EXPECT_EQ(handler->calls(), atClose);
}

TEST_F(EventSourceTest, StopFromInsideAHandlerEndsTheEventsAtOnce)
{
    HttpTestServer server;
    // All events arrive in one piece: none after the stopping one may be delivered.
    server.enqueue(longStream({"data: 1\n\ndata: 2\n\ndata: 3\n\ndata: 4\n\n"}));
    auto handler = std::make_shared<ScriptedHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    handler->whenEvent = [&stream](const MessageEvent& event) {
        if (event.data == "2")
            stream.stop();
    };
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->count("close") == 1; }));
    settle();
    EXPECT_EQ(handler->calls(), Calls({"open", "event message|1|", "event message|2|", "close"}));
}

TEST_F(EventSourceTest, StartsOnlyOnce)
{
    HttpTestServer server;
    server.enqueue(longStream({"data: a\n\n"}));
    auto handler = std::make_shared<RecordingHandler>();
    EventSource stream(fastConfig(handler, server.baseUrl()));
    stream.start();
    stream.start();
    ASSERT_TRUE(waitUntil([&] { return handler->calls().contains("event message|a|"); }));
    stream.stop();
    stream.start();
    const QString ignored = QStringLiteral("start() called on already-started EventSource object. Returning");
    ASSERT_TRUE(waitUntil([&] { return log.count(ignored) == 2; }));
    settle();
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(handler->calls(), Calls({"open", "event message|a|", "close"}));
}

TEST_F(EventSourceTest, SendsMethodBodyAndHeadersAsConfigured)
{
    HttpTestServer server;
    server.enqueue(longStream({"data: ok\n\n"}));
    auto handler = std::make_shared<RecordingHandler>();
    Config config = fastConfig(handler, server.baseUrl().resolved(QUrl("/v1/chat/completions?x=1")));
    config.method = "POST";
    config.body = R"({"model":"m","stream":true,"text":"caf\u00e9 \u20ac"})";
    config.headers = {{"Authorization", "Bearer sk-test"}, {"Content-Type", "application/json"},
                      {"Accept", "application/x-ndjson"}, {"OpenAI-Organization", "org-1"}};
    EventSource stream(config);
    stream.start();
    ASSERT_TRUE(server.waitForRequests(1));
    stream.stop();
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/chat/completions?x=1");
    EXPECT_EQ(request.body, *config.body);
    EXPECT_EQ(request.header("Authorization"), "Bearer sk-test");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("OpenAI-Organization"), "org-1");
    // A request's own Accept is kept; the missing Cache-Control is added.
    EXPECT_EQ(request.header("Accept"), "application/x-ndjson");
    EXPECT_EQ(request.header("Cache-Control"), "no-cache");
}

TEST_F(EventSourceTest, ConfiguredHeadersAndTransformDecideLastEventId)
{
    HttpTestServer server;
    server.setHandler([](const RecordedRequest&) { return longStream({}); });
    auto handler = std::make_shared<RecordingHandler>();
    // The id alone; a configured header overriding it; a transform removing it.
    const std::function<void(Config&)> variants[] = {
        [](Config&) {},
        [](Config& config) { config.headers = {{"Last-Event-Id", "override"}}; },
        [](Config& config) {
            config.headerTransform = [](HeaderMap headers) {
                headers.remove("Last-Event-Id");
                headers.insert("X-Seen", "yes");
                return headers;
            };
        },
    };
    for (int i = 0; i < 3; ++i) {
        Config config = fastConfig(handler, server.baseUrl());
        config.lastEventId = "5";
        variants[i](config);
        EventSource stream(config);
        EXPECT_EQ(stream.getLastEventId(), "5");
        stream.start();
        ASSERT_TRUE(server.waitForRequests(i + 1));
        stream.stop();
    }
    const QList<RecordedRequest> requests = server.requests();
    EXPECT_EQ(requests[0].header("Last-Event-Id"), "5");
    EXPECT_EQ(requests[1].header("Last-Event-Id"), "override");
    EXPECT_FALSE(requests[2].hasHeader("Last-Event-Id"));
    EXPECT_EQ(requests[2].header("X-Seen"), "yes");
}

TEST_F(EventSourceTest, DestroyingTheStreamEndsItsCallsEvenFromInsideAHandler)
{
    HttpTestServer server;
    server.enqueue(longStream({"data: 1\n\ndata: 2\n\ndata: 3\n\n"}));
    server.enqueue(longStream({"data: a\n\n"}));
    auto handler = std::make_shared<ScriptedHandler>();
    auto stream = std::make_unique<EventSource>(fastConfig(handler, server.baseUrl()));
    handler->whenEvent = [&stream](const MessageEvent&) { stream.reset(); };
    stream->start();
    ASSERT_TRUE(waitUntil([&] { return !handler->calls().isEmpty() && handler->calls().last().startsWith("event"); }));
    settle();
    EXPECT_EQ(handler->calls(), Calls({"open", "event message|1|"}));

    // Released from another thread while open: silent, and the handler outlives it.
    auto other = std::make_shared<RecordingHandler>();
    std::weak_ptr<RecordingHandler> watch = other;
    auto second = std::make_unique<EventSource>(fastConfig(other, server.baseUrl()));
    second->start();
    ASSERT_TRUE(waitUntil([&] { return other->calls().contains("event message|a|"); }));
    second.reset();
    settle();
    EXPECT_EQ(other->calls(), Calls({"open", "event message|a|"}));
    other.reset();
    EXPECT_TRUE(waitUntil([&] { return watch.expired(); }));
}
