#include "markdown/NodeType.h"

#include <array>
#include <utility>

namespace Markdown {

namespace {

// Most frequent kinds first: the lookup runs once per node of every parse.
constexpr std::array<std::pair<std::string_view, NodeType>, 29> rawValues{{
    {"text", NodeType::Text},
    {"softbreak", NodeType::SoftBreak},
    {"paragraph", NodeType::Paragraph},
    {"item", NodeType::Item},
    {"code", NodeType::Code},
    {"emph", NodeType::Emphasis},
    {"strong", NodeType::Strong},
    {"link", NodeType::Link},
    {"list", NodeType::List},
    {"table_cell", NodeType::TableCell},
    {"table_row", NodeType::TableRow},
    {"html_inline", NodeType::Html},
    {"linebreak", NodeType::LineBreak},
    {"code_block", NodeType::CodeBlock},
    {"heading", NodeType::Heading},
    {"block_quote", NodeType::Blockquote},
    {"strikethrough", NodeType::Strikethrough},
    {"tasklist", NodeType::TaskListItem},
    {"table_header", NodeType::TableHead},
    {"table", NodeType::Table},
    {"image", NodeType::Image},
    {"html_block", NodeType::HtmlBlock},
    {"thematic_break", NodeType::ThematicBreak},
    {"document", NodeType::Document},
    {"custom_block", NodeType::CustomBlock},
    {"custom_inline", NodeType::CustomInline},
    {"attribute", NodeType::InlineAttributes},
    {"NONE", NodeType::None},
    {"<unknown>", NodeType::Unknown},
}};

} // namespace

std::string_view rawValue(NodeType type)
{
    for (const auto& [raw, value] : rawValues) {
        if (value == type)
            return raw;
    }
    return "<unknown>";
}

std::optional<NodeType> nodeTypeFromRawValue(std::string_view typeString)
{
    for (const auto& [raw, value] : rawValues) {
        if (raw == typeString)
            return value;
    }
    return std::nullopt;
}

} // namespace Markdown
