#pragma once

#include "markdown/BlockNode.h"

#include <cmark-gfm.h>

#include <vector>

namespace Markdown {

// The top-level blocks of a cmark-gfm document tree; the tree is only read.
// Ends the program with a fatal error on a tree that the library cannot
// produce from text with our options (see CmarkLibrary::invariantViolated).
// Internal to the parser; exposed for the tests of those checks.
// When `startLines` is given, it receives the 1-based source line on which each
// returned block starts.
BlockNodes convertDocument(cmark_node* document, std::vector<int>* startLines = nullptr);

} // namespace Markdown
