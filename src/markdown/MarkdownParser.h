#pragma once

// Markdown text to an immutable document model and back, over cmark-gfm with
// the GitHub extensions (tables, task lists, strikethrough, autolinks).
//
//   const Markdown::BlockNodes blocks = Markdown::parse(text);   // any thread
//   for (const Markdown::BlockNode& block : blocks)
//       if (const auto* table = block.as<Markdown::BlockNode::Table>()) ...
//   std::string copied = Markdown::tableCopyText(block);         // "Copy table"
//
// All strings are UTF-8. The model holds no pointers into the library, so
// results can be handed between threads and compared with == to skip redraws.
// MarkdownContent.h wraps the blocks of one message text. See also
// MarkdownRenderer.h, HtmlTag.h, ImageAppearance.h and MarkdownUrl.h.

#include "markdown/BlockNode.h"
#include "markdown/InlineNode.h"
#include "markdown/MarkdownRenderer.h"

#include <string_view>
#include <vector>

namespace Markdown {

// Containers nested deeper than this (quotes, lists, emphasis, links) are
// unwrapped: their content stays in place without the extra level, which keeps
// the recursion over the model bounded for hostile input.
inline constexpr int maxNestingDepth = 100;

// The top-level blocks of `markdown`; empty when the library gives no document.
// Safe to call from several threads at once.
BlockNodes parse(std::string_view markdown);

// The same blocks with the 1-based source line each starts on, for callers
// that reparse only the end of a growing text.
struct LocatedBlocks {
    BlockNodes blocks;
    std::vector<int> startLines; // one per block
};
LocatedBlocks parseLocated(std::string_view markdown);

} // namespace Markdown
