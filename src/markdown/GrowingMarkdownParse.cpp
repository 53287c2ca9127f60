#include "markdown/GrowingMarkdownParse.h"

#include "markdown/MarkdownParser.h"

#include <string_view>

namespace {

// The byte offset at which 1-based `line` starts, counting line ends the way
// the parser does ("\n", "\r" and "\r\n").
std::size_t offsetOfLine(std::string_view text, int line)
{
    std::size_t at = 0;
    for (int current = 1; current < line && at < text.size(); ++current) {
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
    if (previous && !previous->blocks.empty() && text.starts_with(previous->text) && !mayDefineReferences(text)) {
        // The previous text's last line may have been cut short; completed, it
        // can join the block before it ("> a" then "-" then "-x"), so a block
        // that started on that line does not settle the one before it.
        std::size_t kept = previous->blocks.size() - 1;
        if (kept > 0 && previous->startLines[kept] >= lineCount(previous->text))
            --kept;
        // A table made from the last line of a paragraph reports the paragraph's
        // first line as its start; restart at the block before it.
        while (kept > 0 && previous->blocks[kept]->as<Markdown::BlockNode::Table>())
            --kept;
        const bool fromStart = previous->blocks[kept]->as<Markdown::BlockNode::Table>() != nullptr;
        const int line = fromStart ? 1 : previous->startLines[kept];
        reparseFrom = offsetOfLine(text, line);
        lineOffset = line - 1;
        parsed->blocks.assign(previous->blocks.begin(), previous->blocks.begin() + static_cast<std::ptrdiff_t>(kept));
        parsed->startLines.assign(previous->startLines.begin(),
                                  previous->startLines.begin() + static_cast<std::ptrdiff_t>(kept));
    }
    Markdown::LocatedBlocks tail = Markdown::parseLocated(std::string_view(text).substr(reparseFrom));
    for (std::size_t index = 0; index < tail.blocks.size(); ++index) {
        parsed->blocks.push_back(std::make_shared<const Markdown::BlockNode>(std::move(tail.blocks[index])));
        parsed->startLines.push_back(tail.startLines[index] + lineOffset);
    }
    parsed->text = std::move(text);
    return parsed;
}
