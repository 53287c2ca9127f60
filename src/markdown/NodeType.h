#pragma once

#include <optional>
#include <string_view>

namespace Markdown {

// The node kinds of cmark-gfm's tree. The raw value of each case is the type
// string the library reports for such a node (extension nodes included).
enum class NodeType {
    document,
    blockquote,
    list,
    item,
    codeBlock,
    htmlBlock,
    customBlock,
    paragraph,
    heading,
    thematicBreak,
    text,
    softBreak,
    lineBreak,
    code,
    html,
    customInline,
    emphasis,
    strong,
    link,
    image,
    inlineAttributes,
    none,
    unknown,
    strikethrough,
    table,
    tableHead,
    tableRow,
    tableCell,
    taskListItem,
};

std::string_view rawValue(NodeType type);

// The case whose raw value is `typeString`; none for a string the library
// should never report.
std::optional<NodeType> nodeTypeFromRawValue(std::string_view typeString);

} // namespace Markdown
