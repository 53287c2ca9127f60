#pragma once

#include <string>
#include <vector>

// The examples of cmark-gfm's own test files: Markdown between a fence line of
// 32 backquotes followed by "example" and a "." line, then the expected HTML.
struct CorpusExample {
    std::string key;      // "spec.txt:12": file name and 1-based example number
    std::string markdown; // with the files' "→" turned back into tabs
};

// Reads every example of `path`; empty when the file cannot be read.
std::vector<CorpusExample> readCorpusExamples(const std::string& path, const std::string& fileName);
