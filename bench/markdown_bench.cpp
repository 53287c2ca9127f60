// Parse-to-model time of Markdown::parse against cmark-gfm's bare parse of the
// same text (same options and extensions, tree freed), plus the classic
// pathological inputs at two sizes each to show how the time grows.
// Pathological kinds (first argument): 0 nested brackets, 1 nested quotes,
// 2 one long run of *, 3 nested emphasis, 4 emphasis openers, 5 backquote runs,
// 6 link openers with emphasis closers, 7 unclosed links, 8 table rows.
#include "markdown/MarkdownParser.h"

#include <benchmark/benchmark.h>
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <chrono>
#include <string>

namespace {

// One screenful of a typical assistant reply; numbered so repeats differ.
std::string replySection(int number)
{
    const std::string n = std::to_string(number);
    return "## Step " + n
         + ": setting up the build\n\n"
           "To get *started* with part "
         + n
         + ", install the **dependencies** first. The `cmake` "
           "configuration picks them up through `pkg-config`, and see [the guide](https://example.com/guide/"
         + n
         + ") for details. Note that ~~older~~ releases need a manual step; www.example.org has the notes.\n"
           "A second line continues the same paragraph with a little more prose to read.\n\n"
           "- Install the compiler and the headers\n"
           "- Configure with `-DCMAKE_BUILD_TYPE=Release`\n"
           "  - nested detail for the configure step\n"
           "- [x] Run the tests\n\n"
           "1. Open the project\n2. Build it\n3. Run it and check the output\n\n"
           "```cpp\n#include <iostream>\n\nint main()\n{\n    for (int i = 0; i < "
         + n
         + "; ++i)\n"
           "        std::cout << \"step \" << i << '\\n';\n    return 0;\n}\n```\n\n"
           "| Option | Default | Meaning |\n|:-------|:-------:|--------:|\n"
           "| `jobs` | 2 | parallel compile jobs |\n| `sanitize` | off | address and UB checks |\n"
           "| `bench` | off | build the benchmarks |\n\n"
           "> **Tip:** keep the build directory outside the source tree.\n\n";
}

std::string realisticReply(std::size_t bytes)
{
    std::string text;
    for (int number = 1; text.size() < bytes; ++number)
        text += replySection(number);
    return text;
}

void parseWithLibrary(const std::string& text)
{
    cmark_gfm_core_extensions_ensure_registered();
    cmark_parser* parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    for (const char* name : {"autolink", "strikethrough", "tagfilter", "tasklist", "table"})
        cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension(name));
    cmark_parser_feed(parser, text.data(), text.size());
    cmark_node* document = cmark_parser_finish(parser);
    cmark_parser_free(parser);
    benchmark::DoNotOptimize(document);
    cmark_node_free(document);
}

void BM_ParseToModel(benchmark::State& state)
{
    const std::string text = realisticReply(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Markdown::BlockNodes blocks = Markdown::parse(text);
        benchmark::DoNotOptimize(blocks);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_LibraryParse(benchmark::State& state)
{
    const std::string text = realisticReply(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        parseWithLibrary(text);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// Our parse and the library's back to back in every iteration, so that load
// from elsewhere on the machine hits both alike. The benchmark's time is ours;
// the counter "ratio" is our total over the library's.
void timeAgainstLibrary(benchmark::State& state, const std::string& text)
{
    using Clock = std::chrono::steady_clock;
    double ours = 0;
    double library = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        {
            Markdown::BlockNodes blocks = Markdown::parse(text);
            benchmark::DoNotOptimize(blocks);
        }
        const Clock::time_point middle = Clock::now();
        parseWithLibrary(text);
        const Clock::time_point end = Clock::now();
        const double oursSeconds = std::chrono::duration<double>(middle - start).count();
        ours += oursSeconds;
        library += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(oursSeconds);
    }
    state.counters["ratio"] = library > 0 ? ours / library : 0;
    state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_ParseRatio(benchmark::State& state)
{
    timeAgainstLibrary(state, realisticReply(static_cast<std::size_t>(state.range(0))));
}

BENCHMARK(BM_ParseRatio)->Arg(2 << 10)->Arg(20 << 10)->Arg(200 << 10)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseToModel)->Arg(2 << 10)->Arg(20 << 10)->Arg(200 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LibraryParse)->Arg(2 << 10)->Arg(20 << 10)->Arg(200 << 10)->Unit(benchmark::kMicrosecond);

std::string repeat(const std::string& piece, int64_t count)
{
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(count));
    for (int64_t index = 0; index < count; ++index)
        text += piece;
    return text;
}

enum Pathology {
    nestedBrackets,
    nestedQuotes,
    starRun,
    nestedEmphasis,
    emphasisOpeners,
    backquoteRuns,
    linkOpeners,
    unclosedLinks,
    tableRows
};

std::string pathologicalInput(Pathology kind, int64_t n)
{
    switch (kind) {
    case nestedBrackets: return repeat("[", n) + "a" + repeat("]", n);
    case nestedQuotes: return repeat(">", n) + " a\n";
    case starRun: return repeat("*", n) + "a" + repeat("*", n);
    case nestedEmphasis: return repeat("*a **a ", n) + "b" + repeat(" a** a*", n);
    case emphasisOpeners: return repeat("_a ", n);
    case backquoteRuns: {
        std::string text;
        for (int64_t run = 1; static_cast<int64_t>(text.size()) < n * 4; ++run) {
            text += 'e';
            text.append(static_cast<std::size_t>(run % 64 + 1), '`');
        }
        return text;
    }
    case linkOpeners: return repeat("[ a_", n);
    case unclosedLinks: return repeat("[a](<b", n);
    case tableRows: return "| a | b |\n|---|---|\n" + repeat("| x | y |\n", n);
    }
    return {};
}

void BM_Pathological(benchmark::State& state)
{
    timeAgainstLibrary(state, pathologicalInput(static_cast<Pathology>(state.range(0)), state.range(1)));
}

void pathologicalArguments(benchmark::internal::Benchmark* benchmark)
{
    for (int64_t kind = nestedBrackets; kind <= tableRows; ++kind) {
        for (int64_t size : {10000, 20000, 40000})
            benchmark->Args({kind, size});
    }
}

BENCHMARK(BM_Pathological)->Apply(pathologicalArguments)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
