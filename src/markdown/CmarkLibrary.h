#pragma once

#include <cmark-gfm.h>

#include <mutex>
#include <string_view>

struct cmark_syntax_extension;

// The process-wide parts of cmark-gfm that the parser and the renderer share.
namespace Markdown::CmarkLibrary {

// Registers the library's core extensions exactly once, from any thread.
void ensureRegistered();

// The registered extension with this name, or null when the library has none.
cmark_syntax_extension* extension(const char* name);

// The extensions' own node types; valid after ensureRegistered().
cmark_node_type tableType();
cmark_node_type tableRowType();
cmark_node_type tableCellType();
cmark_node_type strikethroughType();

// cmark-gfm keeps the special inline characters of attached extensions in one
// global table that every parse edits, so parses are run one at a time.
std::mutex& parseMutex();

// Ends the program: the mapping met a tree that the library cannot produce
// from any text with our options.
[[noreturn]] void invariantViolated(std::string_view message);

// Frees a node tree when it goes out of scope.
struct NodeDeleter {
    void operator()(cmark_node* node) const { cmark_node_free(node); }
};

} // namespace Markdown::CmarkLibrary
