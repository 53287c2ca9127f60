#include "markdown/NodeType.h"

#include <array>
#include <utility>

namespace Markdown {

namespace {

// Most frequent kinds first: the lookup runs once per node of every parse.
constexpr std::array<std::pair<std::string_view, NodeType>, 29> rawValues{{
    {"text", NodeType::text},
    {"softbreak", NodeType::softBreak},
    {"paragraph", NodeType::paragraph},
    {"item", NodeType::item},
    {"code", NodeType::code},
    {"emph", NodeType::emphasis},
    {"strong", NodeType::strong},
    {"link", NodeType::link},
    {"list", NodeType::list},
    {"table_cell", NodeType::tableCell},
    {"table_row", NodeType::tableRow},
    {"html_inline", NodeType::html},
    {"linebreak", NodeType::lineBreak},
    {"code_block", NodeType::codeBlock},
    {"heading", NodeType::heading},
    {"block_quote", NodeType::blockquote},
    {"strikethrough", NodeType::strikethrough},
    {"tasklist", NodeType::taskListItem},
    {"table_header", NodeType::tableHead},
    {"table", NodeType::table},
    {"image", NodeType::image},
    {"html_block", NodeType::htmlBlock},
    {"thematic_break", NodeType::thematicBreak},
    {"document", NodeType::document},
    {"custom_block", NodeType::customBlock},
    {"custom_inline", NodeType::customInline},
    {"attribute", NodeType::inlineAttributes},
    {"NONE", NodeType::none},
    {"<unknown>", NodeType::unknown},
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
