#include "CorpusExamples.h"
#include "ModelPrinter.h"

#include "markdown/MarkdownParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace {

// "file:number reason" per line; '#' starts a comment.
std::map<std::string, std::string> readExpectations(const std::string& path)
{
    std::map<std::string, std::string> expectations;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        expectations[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    return expectations;
}

TEST(CorpusRoundTrip, everyExampleParsesAndRoundTripsUnlessListed)
{
    const std::filesystem::path corpus = cmarkCorpusFolder(VORBEL_CMARK_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << corpusMissingMessage(corpus);
    ASSERT_TRUE(std::filesystem::exists(VORBEL_ROUND_TRIP_EXPECTATIONS))
        << "expectations file missing: " << VORBEL_ROUND_TRIP_EXPECTATIONS;
    const std::map<std::string, std::string> expected = readExpectations(VORBEL_ROUND_TRIP_EXPECTATIONS);

    std::size_t total = 0;
    std::set<std::string> differing;
    const std::vector<std::filesystem::path> files = corpusExampleFiles(corpus);
    ASSERT_FALSE(files.empty()) << "no example files in " << corpus;
    for (const std::filesystem::path& file : files) {
        const std::vector<CorpusExample> examples = readCorpusExamples(file.string(), file.filename().string());
        ASSERT_FALSE(examples.empty()) << "no examples read from " << file;
        for (const CorpusExample& example : examples) {
            ++total;
            const Markdown::BlockNodes first = Markdown::parse(example.markdown);
            const std::string rendered = Markdown::renderMarkdown(first);
            const Markdown::BlockNodes second = Markdown::parse(rendered);
            if (first == second)
                continue;
            differing.insert(example.key);
            EXPECT_TRUE(expected.contains(example.key))
                << "new round-trip difference in " << example.key << "\n--- input ---\n"
                << example.markdown << "--- rendered ---\n"
                << rendered;
        }
    }
    for (const auto& [key, reason] : expected) {
        EXPECT_TRUE(differing.contains(key))
            << key << " is listed as differing (" << reason << ") but now round-trips; remove it";
    }

    const std::size_t holding = total - differing.size();
    std::cout << "[ corpus   ] " << holding << " of " << total << " examples round-trip; " << differing.size()
              << " listed differences\n";
    RecordProperty("examples", static_cast<int>(total));
    RecordProperty("roundTripping", static_cast<int>(holding));
    EXPECT_GT(total, 700u); // all three files were read whole
}

} // namespace
