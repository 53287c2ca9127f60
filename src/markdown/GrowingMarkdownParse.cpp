#include "markdown/GrowingMarkdownParse.h"

#include "markdown/MarkdownParser.h"

#include <algorithm>
#include <string_view>

namespace {

// The byte offset at which 1-based `line` starts, counting line ends the way
// the parser does ("\n", "\r" and "\r\n"), going on from line `current`,
// which starts at `at`.
std::size_t offsetOfLine(std::string_view text, int line, int current = 1, std::size_t at = 0)
{
    for (; current < line && at < text.size(); ++current) {
        const std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            return text.size();
        at = end + 1;
        if (text[end] == '\r' && at < text.size() && text[at] == '\n')
            ++at;
    }
    return at;
}

// The number of the last line, the one after the last line end when the text ends with one.
int lineCount(std::string_view text)
{
    int lines = 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' || (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n')))
            ++lines;
    }
    return lines;
}

bool mayDefineReferences(std::string_view text) { return text.find("]:") != std::string_view::npos; }

} // namespace

ParsedMarkdownPtr parseGrowing(const ParsedMarkdownPtr& previous, std::string text)
{
    auto parsed = std::make_shared<ParsedMarkdown>();
    std::size_t reparseFrom = 0;
    int lineOffset = 0;
    const bool grows = previous && !previous->blocks.empty() && text.starts_with(previous->text);
    // Only the added part is searched, from the last byte before it: "]:" may straddle the two.
    parsed->mayDefineReferences = grows
                                    ? previous->mayDefineReferences
                                          || mayDefineReferences(std::string_view(text).substr(
                                              previous->text.size() - std::min<std::size_t>(1, previous->text.size())))
                                    : mayDefineReferences(text);
    if (grows && !parsed->mayDefineReferences) {
        // The previous text's last line may have been cut short; completed, it
        // can join the block before it ("> a" then "-" then "-x"), so a block
        // that started on that line does not settle the one before it.
        std::size_t kept = previous->blocks.size() - 1;
        if (kept > 0 && previous->startLines[kept] >= previous->lineTotal)
            --kept;
        // A table made from the last line of a paragraph reports the paragraph's
        // first line as its start; restart at the block before it.
        while (kept > 0 && previous->blocks[kept]->as<Markdown::BlockNode::Table>())
            --kept;
        const bool fromStart = previous->blocks[kept]->as<Markdown::BlockNode::Table>() != nullptr;
        const int line = fromStart ? 1 : previous->startLines[kept];
        reparseFrom = fromStart ? 0 : previous->startOffsets[kept];
        lineOffset = line - 1;
        const auto keptEnd = static_cast<std::ptrdiff_t>(kept);
        parsed->blocks.assign(previous->blocks.begin(), previous->blocks.begin() + keptEnd);
        parsed->startLines.assign(previous->startLines.begin(), previous->startLines.begin() + keptEnd);
        parsed->startOffsets.assign(previous->startOffsets.begin(), previous->startOffsets.begin() + keptEnd);
    }
    const std::string_view rest = std::string_view(text).substr(reparseFrom);
    Markdown::LocatedBlocks tail = Markdown::parseLocated(rest);
    int line = 1;
    std::size_t lineStart = 0;
    for (std::size_t index = 0; index < tail.blocks.size(); ++index) {
        parsed->blocks.push_back(std::make_shared<const Markdown::BlockNode>(std::move(tail.blocks[index])));
        parsed->startLines.push_back(tail.startLines[index] + lineOffset);
        // Blocks come in order, so each line is looked for from the one before
        // (a table may report the earlier line its paragraph began on).
        const int target = tail.startLines[index];
        if (target < line) {
            line = 1;
            lineStart = 0;
        }
        lineStart = offsetOfLine(rest, target, line, lineStart);
        line = target;
        parsed->startOffsets.push_back(reparseFrom + lineStart);
    }
    parsed->lineTotal = lineOffset + lineCount(rest);
    parsed->text = std::move(text);
    return parsed;
}
