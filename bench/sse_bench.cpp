// Throughput of the two stream parsers on a chat-completion stream: about 200-byte JSON
// chunks, mostly ASCII with some accented, CJK and emoji text, fed in pieces of 1 byte,
// 64 bytes and 16 KiB.

#include "eventsource/EventHandler.h"
#include "eventsource/EventParser.h"
#include "eventsource/Utf8LineParser.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

class CountingHandler : public EventHandler {
public:
    void onEvent(const MessageEvent& event) override
    {
        ++events;
        bytes += event.data.size();
    }
    void onComment(const QByteArray&) override { ++comments; }
    qint64 events = 0;
    qint64 bytes = 0;
    qint64 comments = 0;
};

QByteArray chatStream(qsizetype targetSize)
{
    static const char* const pieces[] = {" the",
                                         " answer",
                                         " is",
                                         " simple",
                                         ":",
                                         " use",
                                         " a",
                                         " hash",
                                         " map",
                                         ".",
                                         "\\n\\n",
                                         "```cpp",
                                         "\\n",
                                         " caf\xC3\xA9",
                                         " na\xC3\xAFve",
                                         " \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                         " \xF0\x9F\x98\x80",
                                         " \\\"quoted\\\"",
                                         " 42",
                                         " stra\xC3\x9F"
                                         "e",
                                         " \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"};
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    QByteArray out;
    int n = 0;
    while (out.size() < targetSize) {
        QByteArray content;
        const int words = 3 + int(random() % 6);
        for (int i = 0; i < words; ++i)
            content += pieces[pick(random)];
        out += "data: {\"id\":\"chatcmpl-8Jx2kLq9ZtQm4nRv\",\"object\":\"chat.completion.chunk\","
               "\"created\":1700000000,\"model\":\"gpt-4-0613\",\"choices\":[{\"index\":0,\"delta\":{\"content\":\"";
        out += content;
        out += "\"},\"finish_reason\":null}]}\n\n";
        if (++n % 50 == 0)
            out += ": keep-alive\n\n";
    }
    out += "data: [DONE]\n\n";
    return out;
}

void feedStream(benchmark::State& state)
{
    static const QByteArray stream = chatStream(4 * 1024 * 1024);
    const qsizetype chunk = state.range(0);
    CountingHandler handler;
    for (auto _ : state) {
        Utf8LineParser lines;
        EventParser events(&handler, QByteArray(), 1.0);
        const auto sink = [&events](QByteArrayView line) { events.parseLine(line); };
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            lines.append(QByteArrayView(stream).sliced(at, qMin(chunk, stream.size() - at)), sink);
        benchmark::DoNotOptimize(handler.bytes);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
    state.counters["events/s"] = benchmark::Counter(double(handler.events), benchmark::Counter::kIsRate);
    state.counters["event_bytes"] = double(stream.size()) / double(handler.events * 1.0 / state.iterations());
}

} // namespace

BENCHMARK(feedStream)->Arg(1)->Arg(64)->Arg(16 * 1024)->Unit(benchmark::kMillisecond)->MinTime(1.0);

BENCHMARK_MAIN();
