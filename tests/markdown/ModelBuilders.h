#pragma once

#include "ModelPrinter.h"
#include "markdown/MarkdownParser.h"

#include <string>

// Short spellings of the model for expectations in tests.
namespace ModelBuilders {

using namespace Markdown;

inline InlineNode text(std::string value) { return InlineNode::text(std::move(value)); }

// A paragraph holding one text run.
inline BlockNode paragraph(std::string value) { return BlockNode::paragraph({text(std::move(value))}); }

inline RawListItem item(std::string value) { return RawListItem{{paragraph(std::move(value))}}; }

inline RawTaskListItem task(bool done, std::string value)
{
    return RawTaskListItem{done, {paragraph(std::move(value))}};
}

inline RawTableRow row(std::initializer_list<std::string> cells)
{
    RawTableRow result;
    for (const std::string& cell : cells)
        result.cells.push_back(RawTableCell{{text(cell)}});
    return result;
}

} // namespace ModelBuilders
