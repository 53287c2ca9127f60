#include "markdown/CmarkLibrary.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>

#include <QtGlobal>

#include <cstdlib>
#include <string>

// Node types that the extensions library assigns when it registers; its
// headers for them are not installed.
extern "C" {
extern cmark_node_type CMARK_NODE_TABLE;
extern cmark_node_type CMARK_NODE_TABLE_ROW;
extern cmark_node_type CMARK_NODE_TABLE_CELL;
extern cmark_node_type CMARK_NODE_STRIKETHROUGH;
}

namespace Markdown::CmarkLibrary {

void ensureRegistered()
{
    // The library's own guard is a plain flag, not safe against two threads.
    static std::once_flag once;
    std::call_once(once, [] { cmark_gfm_core_extensions_ensure_registered(); });
}

cmark_syntax_extension* extension(const char* name)
{
    ensureRegistered();
    return cmark_find_syntax_extension(name);
}

cmark_node_type tableType() { return CMARK_NODE_TABLE; }
cmark_node_type tableRowType() { return CMARK_NODE_TABLE_ROW; }
cmark_node_type tableCellType() { return CMARK_NODE_TABLE_CELL; }
cmark_node_type strikethroughType() { return CMARK_NODE_STRIKETHROUGH; }

std::mutex& parseMutex()
{
    static std::mutex mutex;
    return mutex;
}

void invariantViolated(std::string_view message)
{
    const std::string text(message);
    qFatal("%s", text.c_str());
    std::abort(); // qFatal does not return; this keeps [[noreturn]] honest for the compiler
}

} // namespace Markdown::CmarkLibrary
