#pragma once

#include "markdown/BlockNode.h"

#include <string>

namespace Markdown {

// CommonMark text of `blocks`, as cmark-gfm writes the rebuilt tree (no
// wrapping). Empty when the library cannot make a document.
std::string renderMarkdown(const BlockNodes& blocks);

// The same blocks as plain text, without Markdown markup.
std::string renderPlainText(const BlockNodes& blocks);

// What "Copy table" puts on the clipboard: the plain text of one table block
// with one trailing line feed removed.
std::string tableCopyText(const BlockNode& table);

} // namespace Markdown
