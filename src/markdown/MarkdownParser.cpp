#include "markdown/MarkdownParser.h"

#include "markdown/CmarkLibrary.h"
#include "markdown/CmarkTreeConverter.h"

#include <cmark-gfm-extension_api.h>

#include <memory>

namespace Markdown {

namespace {

std::unique_ptr<cmark_node, CmarkLibrary::NodeDeleter> parseDocument(std::string_view markdown)
{
    CmarkLibrary::ensureRegistered();
    std::unique_ptr<cmark_node, CmarkLibrary::NodeDeleter> document;
    {
        const std::lock_guard lock(CmarkLibrary::parseMutex());
        cmark_parser* parser = cmark_parser_new(CMARK_OPT_DEFAULT);
        if (!parser)
            return document;
        // "table" always: Qt lays tables out on every platform we build for.
        for (const char* name : {"autolink", "strikethrough", "tagfilter", "tasklist", "table"}) {
            if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name))
                cmark_parser_attach_syntax_extension(parser, extension);
        }
        cmark_parser_feed(parser, markdown.data(), markdown.size());
        document.reset(cmark_parser_finish(parser));
        cmark_parser_free(parser);
    }
    return document;
}

} // namespace

BlockNodes parse(std::string_view markdown) { return convertDocument(parseDocument(markdown).get()); }

LocatedBlocks parseLocated(std::string_view markdown)
{
    LocatedBlocks located;
    located.blocks = convertDocument(parseDocument(markdown).get(), &located.startLines);
    return located;
}

} // namespace Markdown
