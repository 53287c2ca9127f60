#pragma once

#include <optional>
#include <string_view>

namespace Markdown {

// The node kinds of cmark-gfm's tree. The raw value of each case is the type
// string the library reports for such a node (extension nodes included).
enum class NodeType {
    Document,
    Blockquote,
    List,
    Item,
    CodeBlock,
    HtmlBlock,
    CustomBlock,
    Paragraph,
    Heading,
    ThematicBreak,
    Text,
    SoftBreak,
    LineBreak,
    Code,
    Html,
    CustomInline,
    Emphasis,
    Strong,
    Link,
    Image,
    InlineAttributes,
    None,
    Unknown,
    Strikethrough,
    Table,
    TableHead,
    TableRow,
    TableCell,
    TaskListItem,
};

std::string_view rawValue(NodeType type);

// The case whose raw value is `typeString`; none for a string the library
// should never report.
std::optional<NodeType> nodeTypeFromRawValue(std::string_view typeString);

} // namespace Markdown
