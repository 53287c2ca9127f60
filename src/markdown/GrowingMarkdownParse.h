#pragma once

#include "markdown/BlockNode.h"

#include <memory>
#include <string>
#include <vector>

// One parse of a message text, kept so that the next, longer text of a
// streaming reply can reuse it.
struct ParsedMarkdown {
    std::string text;
    // Shared so that a later parse reuses unchanged blocks without copying them.
    std::vector<std::shared_ptr<const Markdown::BlockNode>> blocks;
    std::vector<int> startLines; // 1-based source line of each block
    // Kept so that a longer text is not scanned from its start again.
    std::vector<std::size_t> startOffsets; // byte offset of the line each block starts on
    int lineTotal = 1;                     // the number of the text's last line
    bool mayDefineReferences = false;      // holds "]:"
};
using ParsedMarkdownPtr = std::shared_ptr<const ParsedMarkdown>;

// Parses `text` to the same blocks as Markdown::parse. When `text` only adds
// to the text of `previous`, just the end is parsed again: from the line on
// which the previous last block started (or the block before it, when that
// block began on the last, perhaps unfinished, line; before a table, the block
// before the table), because a Markdown block is settled once another block
// has begun after it on a finished line. Link reference definitions ("[x]: url")
// can reach back to earlier blocks, so a text with one is parsed whole.
// Pure function of its inputs, safe on any thread.
ParsedMarkdownPtr parseGrowing(const ParsedMarkdownPtr& previous, std::string text);
