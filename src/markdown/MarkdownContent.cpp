#include "markdown/MarkdownContent.h"

#include "markdown/MarkdownParser.h"

#include <utility>

namespace Markdown {

MarkdownContent::MarkdownContent(BlockNodes blocks)
    : blocks(std::move(blocks))
{
}

MarkdownContent::MarkdownContent(std::string_view markdown)
    : blocks(parse(markdown))
{
}

} // namespace Markdown
