// What a streamed reply costs per piece, from the bytes leaving the server's
// socket to the piece reaching the caller's callback (transfer, line and event
// parsing, JSON decoding), and what choosing the history of a very long
// conversation costs before a request goes out.
#include "chat/ChatReply.h"
#include "chat/HistorySelection.h"
#include "chat/OpenAiService.h"
#include "core/Settings.h"
#include "store/StoreContext.h"

#include <QEventLoop>
#include <QSemaphore>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int replyDeltas = 5000;
constexpr int conversationLength = 100000;

QByteArray chunkFor(int index)
{
    const QByteArray event = "data: {\"id\":\"chatcmpl-1\",\"object\":\"chat.completion.chunk\",\"created\":1,"
                             "\"model\":\"gpt-4\",\"choices\":[{\"index\":0,\"delta\":{\"content\":\" word"
                           + QByteArray::number(index) + "\"},\"finish_reason\":null}]}\n\n";
    return QByteArray::number(event.size(), 16) + "\r\n" + event + "\r\n";
}

bool sendAll(int socket, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(socket, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// A one-reply chat endpoint on 127.0.0.1: it sends each piece only after the
// previous one reached the callback, so every measurement is one piece alone.
class PacedSseServer {
public:
    PacedSseServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        sendTimes.resize(replyDeltas);
        m_thread = std::thread([this] { serve(); });
    }
    ~PacedSseServer()
    {
        m_thread.join();
        ::close(m_listener);
    }

    quint16 port() const { return m_port; }
    QSemaphore delivered;
    std::vector<Clock::time_point> sendTimes;

private:
    void serve()
    {
        const int socket = ::accept(m_listener, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        QByteArray request;
        char buffer[8192];
        // The request: headers, then a body of the announced length.
        while (true) {
            const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, n);
            const qsizetype end = request.indexOf("\r\n\r\n");
            if (end < 0)
                continue;
            const qsizetype at = request.toLower().indexOf("content-length:");
            const qsizetype bodyLength =
                at < 0 ? 0 : request.mid(at + 15, request.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (request.size() >= end + 4 + bodyLength)
                break;
        }
        sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nTransfer-Encoding: chunked\r\n\r\n");
        for (int i = 0; i < replyDeltas; ++i) {
            const QByteArray chunk = chunkFor(i);
            sendTimes[static_cast<size_t>(i)] = Clock::now();
            if (!sendAll(socket, chunk))
                break;
            delivered.acquire();
        }
        const QByteArray done = "data: [DONE]\n\n";
        sendAll(socket, QByteArray::number(done.size(), 16) + "\r\n" + done + "\r\n0\r\n\r\n");
        ::shutdown(socket, SHUT_WR);
        while (::recv(socket, buffer, sizeof buffer, 0) > 0) {}
        ::close(socket);
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

void BM_StreamedDeltaToCallback(benchmark::State& state)
{
    Settings::instance().setText(Settings::apiKeyKey, QStringLiteral("sk-bench"));
    std::vector<double> latencies;
    for (auto _ : state) {
        PacedSseServer server;
        qputenv("VORBEL_OPENAI_URL", QByteArray("http://127.0.0.1:") + QByteArray::number(server.port()));
        std::vector<Clock::time_point> arrivals;
        arrivals.reserve(replyDeltas);
        int stops = 0;
        QEventLoop loop;
        ChatReply* reply = OpenAiService::sendChat(QStringLiteral("You help."), {}, &loop);
        QObject::connect(reply, &ChatReply::piece, &loop, [&](const ParsedDelta&) {
            arrivals.push_back(Clock::now());
            server.delivered.release();
        });
        QObject::connect(reply, &ChatReply::finished, &loop, [&] {
            ++stops;
            loop.quit();
        });
        QObject::connect(reply, &ChatReply::failed, &loop, &QEventLoop::quit);
        loop.exec();
        if (stops != 1 || arrivals.size() != static_cast<size_t>(replyDeltas)) {
            state.SkipWithError("the reply did not arrive whole");
            break;
        }
        latencies.clear();
        for (size_t i = 0; i < arrivals.size(); ++i)
            latencies.push_back(std::chrono::duration<double, std::micro>(arrivals[i] - server.sendTimes[i]).count());
        state.SetIterationTime(percentile(latencies, 0.5) / 1e6);
    }
    if (!latencies.empty()) {
        state.counters["median_us"] = percentile(latencies, 0.5);
        state.counters["p90_us"] = percentile(latencies, 0.9);
        state.counters["p99_us"] = percentile(latencies, 0.99);
    }
}
BENCHMARK(BM_StreamedDeltaToCallback)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(5);

void BM_DecodeOneDelta(benchmark::State& state)
{
    const QByteArray data = chunkFor(42).mid(chunkFor(42).indexOf("data: ") + 6).split('\n').first();
    int pieces = 0;
    for (auto _ : state)
        OpenAiService::decodeStreamEvent(
            data, [&](const ParsedDelta&) { ++pieces; }, [] {});
    benchmark::DoNotOptimize(pieces);
}
BENCHMARK(BM_DecodeOneDelta)->Unit(benchmark::kMicrosecond);

// A conversation of 100,000 stored messages in a store kept in memory.
struct LongConversation {
    std::unique_ptr<StoreContext> context = std::make_unique<StoreContext>(SqliteStore::openInMemory());
    std::vector<MessagePtr> messages;

    explicit LongConversation(const QString& text)
    {
        ConversationPtr conversation = context->insertConversation();
        messages.reserve(conversationLength);
        for (int i = 0; i < conversationLength; ++i) {
            MessagePtr message = context->insertMessage(conversation);
            message->setRole(i % 2 ? QStringLiteral("assistant") : QStringLiteral("user"));
            message->setContent(text);
            messages.push_back(message);
        }
    }
};

// Ordinary messages: the budget is spent after the newest few hundred.
void BM_HistorySelectionOrdinary(benchmark::State& state)
{
    static LongConversation conversation(
        QStringLiteral("A reply of ordinary length, with a few sentences in it. ").repeated(6));
    size_t kept = 0;
    for (auto _ : state)
        kept = selectHistory(conversation.messages, 100.0, 16384).size();
    state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_HistorySelectionOrdinary)->Unit(benchmark::kMicrosecond);

// The worst case: messages too short to add a whole token, so all 100,000 are
// walked and counted, and non-ASCII so each goes through the boundary finder.
void BM_HistorySelectionWholeConversation(benchmark::State& state)
{
    static LongConversation conversation(QStringLiteral("n\u00e9"));
    size_t kept = 0;
    for (auto _ : state)
        kept = selectHistory(conversation.messages, 100.0, 16384).size();
    state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_HistorySelectionWholeConversation)->Unit(benchmark::kMillisecond);

// The same walk over ASCII text, and then the whole request body built from it.
void BM_RequestBodyWholeConversation(benchmark::State& state)
{
    static LongConversation conversation(QStringLiteral("ok"));
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = OpenAiService::makeModelInput("gpt-4", "You help.", conversation.messages, {}).encode().size();
    state.counters["body_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RequestBodyWholeConversation)->Unit(benchmark::kMillisecond);

} // namespace
