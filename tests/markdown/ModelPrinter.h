#pragma once

#include "markdown/BlockNode.h"

#include <ostream>

// Readable GoogleTest output for model values (found through argument lookup).
namespace Markdown {

void PrintTo(const InlineNode& node, std::ostream* out);
void PrintTo(const BlockNode& node, std::ostream* out);

} // namespace Markdown
