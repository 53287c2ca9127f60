#include "markdown/CmarkTreeConverter.h"

#include "markdown/CmarkLibrary.h"
#include "markdown/MarkdownParser.h"
#include "markdown/NodeType.h"

#include <cmark-gfm-core-extensions.h>

#include <array>
#include <optional>
#include <string>

namespace Markdown {

namespace {

using CmarkLibrary::invariantViolated;

std::string_view typeStringOf(cmark_node* node)
{
    const char* typeString = cmark_node_get_type_string(node);
    return typeString ? std::string_view(typeString) : std::string_view("<unknown>");
}

NodeType typeOf(cmark_node* node)
{
    // The library hands out type strings as static literals, so a pointer seen
    // once always names the same type; this spares a string search per node.
    struct KnownTypeString {
        const char* pointer;
        NodeType type;
    };
    thread_local std::array<KnownTypeString, 48> known{};
    thread_local std::size_t knownCount = 0;

    const char* raw = cmark_node_get_type_string(node);
    for (std::size_t index = 0; index < knownCount; ++index) {
        if (known[index].pointer == raw)
            return known[index].type;
    }
    const std::string_view typeString = raw ? std::string_view(raw) : std::string_view("<unknown>");
    const std::optional<NodeType> type = nodeTypeFromRawValue(typeString);
    if (!type)
        invariantViolated("Unknown node type '" + std::string(typeString) + "' found.");
    if (raw && knownCount < known.size())
        known[knownCount++] = {raw, *type};
    return *type;
}

std::string literalOf(cmark_node* node)
{
    const char* literal = cmark_node_get_literal(node);
    return literal ? std::string(literal) : std::string();
}

std::string urlOf(cmark_node* node)
{
    const char* url = cmark_node_get_url(node);
    return url ? std::string(url) : std::string();
}

// Walks one document tree. Depths count nested containers so that hostile
// input cannot make the model (and every recursion over it) arbitrarily deep.
class TreeConverter {
public:
    BlockNodes blockChildren(cmark_node* parent, int depth)
    {
        BlockNodes blocks;
        for (cmark_node* child = cmark_node_first_child(parent); child; child = cmark_node_next(child))
            appendBlock(child, blocks, depth);
        return blocks;
    }

    // What one top-level node converts to.
    BlockNodes blockChildrenOf(cmark_node* node)
    {
        BlockNodes blocks;
        appendBlock(node, blocks, 0);
        return blocks;
    }

private:
    void appendBlock(cmark_node* node, BlockNodes& out, int depth)
    {
        switch (typeOf(node)) {
        case NodeType::Blockquote:
            if (depth >= maxNestingDepth)
                appendUnwrapped(node, out, depth);
            else
                out.push_back(BlockNode::Blockquote{blockChildren(node, depth + 1)});
            return;
        case NodeType::List:
            checkList(node);
            if (depth >= maxNestingDepth)
                appendUnwrapped(node, out, depth);
            else
                appendList(node, out, depth);
            return;
        case NodeType::CodeBlock: {
            const char* info = cmark_node_get_fence_info(node);
            out.push_back(
                BlockNode::CodeBlock{info ? std::optional<std::string>(info) : std::nullopt, literalOf(node)});
            return;
        }
        case NodeType::HtmlBlock: out.push_back(BlockNode::HtmlBlock{literalOf(node)}); return;
        case NodeType::Paragraph: out.push_back(BlockNode::Paragraph{inlineChildren(node, 0)}); return;
        case NodeType::Heading:
            out.push_back(BlockNode::Heading{cmark_node_get_heading_level(node), inlineChildren(node, 0)});
            return;
        case NodeType::ThematicBreak: out.push_back(BlockNode::ThematicBreak{}); return;
        case NodeType::Table: out.push_back(convertTable(node)); return;
        default: return;
        }
    }

    // Visits the nodes inside `container` in document order; a node that
    // `unwrap` accepts is not visited itself, its children are. Iterative, as
    // the tree below can be thousands of levels deep.
    template <typename Unwrap, typename Visit>
    static void forEachUnwrapped(cmark_node* container, Unwrap unwrap, Visit visit)
    {
        std::vector<cmark_node*> resumeAt;
        cmark_node* node = cmark_node_first_child(container);
        for (;;) {
            if (!node) {
                if (resumeAt.empty())
                    return;
                node = resumeAt.back();
                resumeAt.pop_back();
                continue;
            }
            if (unwrap(node)) {
                resumeAt.push_back(cmark_node_next(node));
                node = cmark_node_first_child(node);
                continue;
            }
            visit(node);
            node = cmark_node_next(node);
        }
    }

    // Appends the blocks inside `container` without the quote and list levels
    // around them.
    void appendUnwrapped(cmark_node* container, BlockNodes& out, int depth)
    {
        forEachUnwrapped(
            container,
            [](cmark_node* node) {
                const NodeType type = typeOf(node);
                if (type == NodeType::List)
                    checkList(node);
                return type == NodeType::Blockquote || type == NodeType::List || type == NodeType::Item
                    || type == NodeType::TaskListItem;
            },
            [&](cmark_node* node) { appendBlock(node, out, depth); }); // a leaf block: no further nesting
    }

    static bool hasTaskItem(cmark_node* list)
    {
        for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child)) {
            if (typeOf(child) == NodeType::TaskListItem)
                return true;
        }
        return false;
    }

    // The invariants of a list node: a list type, and only items inside.
    static void checkList(cmark_node* list)
    {
        const bool taskList = hasTaskItem(list);
        if (!taskList) {
            const cmark_list_type listType = cmark_node_get_list_type(list);
            if (listType != CMARK_BULLET_LIST && listType != CMARK_ORDERED_LIST)
                invariantViolated("cmark reported a list node without a list type.");
        }
        for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child)) {
            const NodeType type = typeOf(child);
            if (type != NodeType::Item && !(taskList && type == NodeType::TaskListItem))
                unexpected("Expected a list item but got a '", child);
        }
    }

    void appendList(cmark_node* list, BlockNodes& out, int depth)
    {
        const bool isTight = cmark_node_get_list_tight(list) != 0;

        if (hasTaskItem(list)) {
            std::vector<RawTaskListItem> items;
            for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child)) {
                const bool checked = typeOf(child) == NodeType::TaskListItem
                                  && cmark_gfm_extensions_get_tasklist_item_checked(child);
                items.push_back(RawTaskListItem{checked, blockChildren(child, depth + 1)});
            }
            out.push_back(BlockNode::TaskList{isTight, std::move(items)});
            return;
        }

        std::vector<RawListItem> items;
        for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child))
            items.push_back(RawListItem{blockChildren(child, depth + 1)});
        if (cmark_node_get_list_type(list) == CMARK_ORDERED_LIST)
            out.push_back(BlockNode::NumberedList{isTight, cmark_node_get_list_start(list), std::move(items)});
        else
            out.push_back(BlockNode::BulletedList{isTight, std::move(items)});
    }

    BlockNode convertTable(cmark_node* node)
    {
        BlockNode::Table table;
        const uint16_t columns = cmark_gfm_extensions_get_table_columns(node);
        const uint8_t* alignments = cmark_gfm_extensions_get_table_alignments(node);
        table.columnAlignments.reserve(columns);
        for (uint16_t column = 0; column < columns; ++column) {
            switch (alignments ? alignments[column] : 0) {
            case 'l': table.columnAlignments.push_back(RawTableColumnAlignment::Left); break;
            case 'c': table.columnAlignments.push_back(RawTableColumnAlignment::Center); break;
            case 'r': table.columnAlignments.push_back(RawTableColumnAlignment::Right); break;
            default: table.columnAlignments.push_back(RawTableColumnAlignment::None); break;
            }
        }
        for (cmark_node* row = cmark_node_first_child(node); row; row = cmark_node_next(row)) {
            const NodeType rowType = typeOf(row);
            if (rowType != NodeType::TableHead && rowType != NodeType::TableRow)
                unexpected("Expected a table row but got a '", row);
            RawTableRow converted;
            for (cmark_node* cell = cmark_node_first_child(row); cell; cell = cmark_node_next(cell)) {
                if (typeOf(cell) != NodeType::TableCell)
                    unexpected("Expected a table cell but got a '", cell);
                converted.cells.push_back(RawTableCell{inlineChildren(cell, 0)});
            }
            table.rows.push_back(std::move(converted));
        }
        return table;
    }

    InlineNodes inlineChildren(cmark_node* parent, int depth)
    {
        InlineNodes inlines;
        for (cmark_node* child = cmark_node_first_child(parent); child; child = cmark_node_next(child))
            appendInline(child, inlines, depth);
        return inlines;
    }

    void appendInline(cmark_node* node, InlineNodes& out, int depth)
    {
        const NodeType type = typeOf(node);
        if (!isInlineContainer(type)) {
            appendLeafInline(type, node, out);
            return;
        }
        if (depth >= maxNestingDepth) {
            appendUnwrappedInlines(node, out);
            return;
        }
        InlineNodes children = inlineChildren(node, depth + 1);
        switch (type) {
        case NodeType::Emphasis: out.push_back(InlineNode::Emphasis{std::move(children)}); break;
        case NodeType::Strong: out.push_back(InlineNode::Strong{std::move(children)}); break;
        case NodeType::Strikethrough: out.push_back(InlineNode::Strikethrough{std::move(children)}); break;
        case NodeType::Link: out.push_back(InlineNode::Link{urlOf(node), std::move(children)}); break;
        default: out.push_back(InlineNode::Image{urlOf(node), std::move(children)}); break;
        }
    }

    static bool isInlineContainer(NodeType type)
    {
        return type == NodeType::Emphasis || type == NodeType::Strong || type == NodeType::Strikethrough
            || type == NodeType::Link || type == NodeType::Image;
    }

    static void appendLeafInline(NodeType type, cmark_node* node, InlineNodes& out)
    {
        switch (type) {
        case NodeType::Text: out.push_back(InlineNode::Text{literalOf(node)}); return;
        case NodeType::SoftBreak: out.push_back(InlineNode::SoftBreak{}); return;
        case NodeType::LineBreak: out.push_back(InlineNode::LineBreak{}); return;
        case NodeType::Code: out.push_back(InlineNode::Code{literalOf(node)}); return;
        case NodeType::Html: out.push_back(InlineNode::Html{literalOf(node)}); return;
        default: return; // custom inlines, attributes and the like carry nothing to show
        }
    }

    // Appends the leaf inlines inside `container` without the emphasis, link
    // and image levels around them.
    static void appendUnwrappedInlines(cmark_node* container, InlineNodes& out)
    {
        forEachUnwrapped(
            container, [](cmark_node* node) { return isInlineContainer(typeOf(node)); },
            [&out](cmark_node* node) { appendLeafInline(typeOf(node), node, out); });
    }

    [[noreturn]] static void unexpected(const char* prefix, cmark_node* node)
    {
        invariantViolated(prefix + std::string(typeStringOf(node)) + "' instead.");
    }
};

} // namespace

BlockNodes convertDocument(cmark_node* document, std::vector<int>* startLines)
{
    if (!document)
        return {};
    if (!startLines)
        return TreeConverter().blockChildren(document, 0);
    // A top-level node converts to at most one block.
    BlockNodes blocks;
    TreeConverter converter;
    for (cmark_node* child = cmark_node_first_child(document); child; child = cmark_node_next(child)) {
        BlockNodes converted = converter.blockChildrenOf(child);
        for (BlockNode& block : converted) {
            blocks.push_back(std::move(block));
            startLines->push_back(cmark_node_get_start_line(child));
        }
    }
    return blocks;
}

} // namespace Markdown
