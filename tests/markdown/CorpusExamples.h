#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The examples of cmark-gfm's own test files: Markdown between a fence line of
// 32 backquotes followed by "example" and a "." line, then the expected HTML.
struct CorpusExample {
    std::string key;      // "<file>.txt:12": file name and 1-based example number
    std::string markdown; // with the files' "→" turned back into tabs
};

// Reads every example of `path`; empty when the file cannot be read.
std::vector<CorpusExample> readCorpusExamples(const std::string& path, const std::string& fileName);

// The folder of cmark-gfm's test files: VORBEL_CMARK_CORPUS_DIR from the
// environment when set, else `builtIn`. It is upstream text kept beside the
// project, not in it, so it may be absent.
std::filesystem::path cmarkCorpusFolder(const char* builtIn);
// Why a test that needs the folder is skipped, naming where it looked.
std::string corpusMissingMessage(const std::filesystem::path& folder);
// The example files of the folder (every .txt), in name order.
std::vector<std::filesystem::path> corpusExampleFiles(const std::filesystem::path& folder);
