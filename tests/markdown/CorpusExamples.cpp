#include "CorpusExamples.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

const std::string fence(32, '`');

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::vector<CorpusExample> readCorpusExamples(const std::string& path, const std::string& fileName)
{
    std::vector<CorpusExample> examples;
    std::ifstream file(path);
    enum class State { Outside, Markdown, Html } state = State::Outside;
    std::string line;
    std::string markdown;
    while (std::getline(file, line)) {
        switch (state) {
        case State::Outside:
            if (line.rfind(fence + " example", 0) == 0) {
                state = State::Markdown;
                markdown.clear();
            }
            break;
        case State::Markdown:
            if (line == ".") {
                state = State::Html;
                replaceAll(markdown, "\u2192", "\t");
                examples.push_back({fileName + ":" + std::to_string(examples.size() + 1), markdown});
            } else {
                markdown += line + "\n";
            }
            break;
        case State::Html:
            if (line == fence)
                state = State::Outside;
            break;
        }
    }
    return examples;
}

std::filesystem::path cmarkCorpusFolder(const char* builtIn)
{
    const char* fromEnvironment = std::getenv("VORBEL_CMARK_CORPUS_DIR");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : builtIn;
}

std::string corpusMissingMessage(const std::filesystem::path& folder)
{
    return "cmark-gfm corpus folder not found: " + folder.string()
         + " (set VORBEL_CMARK_CORPUS_DIR to cmark-gfm's test folder to run it)";
}

std::vector<std::filesystem::path> corpusExampleFiles(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}
