#include "markdown/MarkdownRenderer.h"

#include "markdown/CmarkLibrary.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <unordered_set>

namespace Markdown {

namespace {

using NodePointer = std::unique_ptr<cmark_node, CmarkLibrary::NodeDeleter>;

// The table extension of this cmark-gfm release allocates a record for every
// cell it is asked to create and never frees it. Rebuilt trees therefore take
// their memory from an allocator that remembers what is still live on this
// thread, and whatever the library leaves behind is released after rendering.
thread_local std::unordered_set<void*> liveAllocations;

void* trackedCalloc(std::size_t count, std::size_t size)
{
    void* block = std::calloc(count, size);
    if (!block)
        std::abort(); // the library's own allocator aborts too; it cannot handle null
    liveAllocations.insert(block);
    return block;
}

void* trackedRealloc(void* block, std::size_t size)
{
    void* moved = std::realloc(block, size);
    if (!moved)
        std::abort();
    if (block)
        liveAllocations.erase(block);
    liveAllocations.insert(moved);
    return moved;
}

void trackedFree(void* block)
{
    if (!block)
        return;
    liveAllocations.erase(block);
    std::free(block);
}

cmark_mem trackedMemory{trackedCalloc, trackedRealloc, trackedFree};

// Releases what the library did not free once a rendering is over.
class AllocationScope {
public:
    AllocationScope() = default;
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;
    ~AllocationScope()
    {
        for (void* block : liveAllocations)
            std::free(block);
        liveAllocations.clear();
    }
};

// Adopts `child` into `parent`; a child the library refuses is freed.
bool adopt(cmark_node* parent, NodePointer child)
{
    if (!child || !cmark_node_append_child(parent, child.get()))
        return false;
    (void)child.release(); // the parent owns it now
    return true;
}

NodePointer makeNode(cmark_node_type type, cmark_syntax_extension* extension = nullptr)
{
    return NodePointer(cmark_node_new_with_mem_and_ext(type, &trackedMemory, extension));
}

uint8_t alignmentCharacter(RawTableColumnAlignment alignment)
{
    switch (alignment) {
    case RawTableColumnAlignment::Left: return 'l';
    case RawTableColumnAlignment::Center: return 'c';
    case RawTableColumnAlignment::Right: return 'r';
    case RawTableColumnAlignment::None: break;
    }
    return 0;
}

// Rebuilds a cmark-gfm tree from the model.
class TreeBuilder {
public:
    TreeBuilder()
        : m_taskListExtension(CmarkLibrary::extension("tasklist"))
        , m_tableExtension(CmarkLibrary::extension("table"))
        , m_strikethroughExtension(CmarkLibrary::extension("strikethrough"))
    {
    }

    NodePointer document(const BlockNodes& blocks)
    {
        NodePointer root = makeNode(CMARK_NODE_DOCUMENT);
        if (root)
            appendBlocks(root.get(), blocks);
        return root;
    }

private:
    void appendBlocks(cmark_node* parent, const BlockNodes& blocks)
    {
        for (const BlockNode& block : blocks)
            adopt(parent, std::visit([this](const auto& value) { return build(value); }, block.value));
    }

    void appendInlines(cmark_node* parent, const InlineNodes& inlines)
    {
        for (const InlineNode& node : inlines)
            adopt(parent, std::visit([this](const auto& value) { return build(value); }, node.value));
    }

    NodePointer build(const BlockNode::Blockquote& block)
    {
        NodePointer node = makeNode(CMARK_NODE_BLOCK_QUOTE);
        appendBlocks(node.get(), block.children);
        return node;
    }

    NodePointer list(cmark_list_type type, bool isTight)
    {
        NodePointer node = makeNode(CMARK_NODE_LIST);
        cmark_node_set_list_type(node.get(), type);
        cmark_node_set_list_tight(node.get(), isTight ? 1 : 0);
        return node;
    }

    NodePointer build(const BlockNode::BulletedList& block)
    {
        NodePointer node = list(CMARK_BULLET_LIST, block.isTight);
        for (const RawListItem& item : block.items)
            adopt(node.get(), listItem(item.children));
        return node;
    }

    NodePointer build(const BlockNode::NumberedList& block)
    {
        NodePointer node = list(CMARK_ORDERED_LIST, block.isTight);
        cmark_node_set_list_start(node.get(), std::max(block.start, 0));
        for (const RawListItem& item : block.items)
            adopt(node.get(), listItem(item.children));
        return node;
    }

    NodePointer build(const BlockNode::TaskList& block)
    {
        NodePointer node = list(CMARK_BULLET_LIST, block.isTight);
        for (const RawTaskListItem& item : block.items) {
            NodePointer itemNode = makeNode(CMARK_NODE_ITEM, m_taskListExtension);
            if (m_taskListExtension)
                cmark_gfm_extensions_set_tasklist_item_checked(itemNode.get(), item.isCompleted);
            appendBlocks(itemNode.get(), item.children);
            adopt(node.get(), std::move(itemNode));
        }
        return node;
    }

    NodePointer listItem(const BlockNodes& children)
    {
        NodePointer node = makeNode(CMARK_NODE_ITEM);
        appendBlocks(node.get(), children);
        return node;
    }

    NodePointer build(const BlockNode::CodeBlock& block)
    {
        NodePointer node = makeNode(CMARK_NODE_CODE_BLOCK);
        if (block.fenceInfo)
            cmark_node_set_fence_info(node.get(), block.fenceInfo->c_str());
        cmark_node_set_literal(node.get(), block.content.c_str());
        return node;
    }

    NodePointer build(const BlockNode::HtmlBlock& block)
    {
        NodePointer node = makeNode(CMARK_NODE_HTML_BLOCK);
        cmark_node_set_literal(node.get(), block.content.c_str());
        return node;
    }

    NodePointer build(const BlockNode::Paragraph& block)
    {
        NodePointer node = makeNode(CMARK_NODE_PARAGRAPH);
        appendInlines(node.get(), block.content);
        return node;
    }

    NodePointer build(const BlockNode::Heading& block)
    {
        NodePointer node = makeNode(CMARK_NODE_HEADING);
        cmark_node_set_heading_level(node.get(), std::clamp(block.level, 1, 6));
        appendInlines(node.get(), block.content);
        return node;
    }

    NodePointer build(const BlockNode::Table& block)
    {
        // The library's table needs a header row and at most 65535 columns;
        // anything else cannot be written as a pipe table and is left out.
        std::size_t columns = block.columnAlignments.size();
        for (const RawTableRow& row : block.rows)
            columns = std::max(columns, row.cells.size());
        if (!m_tableExtension || block.rows.empty() || columns == 0 || columns > std::numeric_limits<uint16_t>::max())
            return nullptr;

        std::vector<uint8_t> alignments(columns, 0);
        for (std::size_t column = 0; column < block.columnAlignments.size(); ++column)
            alignments[column] = alignmentCharacter(block.columnAlignments[column]);

        NodePointer table = makeNode(CmarkLibrary::tableType(), m_tableExtension);
        const auto columnCount = static_cast<uint16_t>(columns);
        if (!cmark_gfm_extensions_set_table_columns(table.get(), columnCount)
            || !cmark_gfm_extensions_set_table_alignments(table.get(), columnCount, alignments.data()))
            return nullptr;

        bool isHeader = true;
        for (const RawTableRow& row : block.rows) {
            NodePointer rowNode = makeNode(CmarkLibrary::tableRowType(), m_tableExtension);
            cmark_gfm_extensions_set_table_row_is_header(rowNode.get(), isHeader ? 1 : 0);
            isHeader = false;
            // Short rows are filled up: a header row narrower than the
            // delimiter row would not read back as a table at all.
            for (std::size_t column = 0; column < columns; ++column) {
                NodePointer cellNode = makeNode(CmarkLibrary::tableCellType(), m_tableExtension);
                if (column < row.cells.size())
                    appendInlines(cellNode.get(), row.cells[column].content);
                adopt(rowNode.get(), std::move(cellNode));
            }
            adopt(table.get(), std::move(rowNode));
        }
        return table;
    }

    NodePointer build(const BlockNode::ThematicBreak&) { return makeNode(CMARK_NODE_THEMATIC_BREAK); }

    NodePointer literal(cmark_node_type type, const std::string& text)
    {
        NodePointer node = makeNode(type);
        cmark_node_set_literal(node.get(), text.c_str());
        return node;
    }

    NodePointer container(cmark_node_type type, const InlineNodes& children,
                          cmark_syntax_extension* extension = nullptr)
    {
        NodePointer node = makeNode(type, extension);
        appendInlines(node.get(), children);
        return node;
    }

    NodePointer build(const InlineNode::Text& node) { return literal(CMARK_NODE_TEXT, node.text); }
    NodePointer build(const InlineNode::Code& node) { return literal(CMARK_NODE_CODE, node.code); }
    NodePointer build(const InlineNode::Html& node) { return literal(CMARK_NODE_HTML_INLINE, node.html); }
    NodePointer build(const InlineNode::Emphasis& node) { return container(CMARK_NODE_EMPH, node.children); }
    NodePointer build(const InlineNode::Strong& node) { return container(CMARK_NODE_STRONG, node.children); }
    NodePointer build(const InlineNode::Strikethrough& node)
    {
        if (!m_strikethroughExtension)
            return container(CMARK_NODE_EMPH, node.children);
        return container(CmarkLibrary::strikethroughType(), node.children, m_strikethroughExtension);
    }
    NodePointer build(const InlineNode::Link& node)
    {
        NodePointer link = container(CMARK_NODE_LINK, node.children);
        cmark_node_set_url(link.get(), node.destination.c_str());
        return link;
    }
    NodePointer build(const InlineNode::Image& node)
    {
        NodePointer image = container(CMARK_NODE_IMAGE, node.children);
        cmark_node_set_url(image.get(), node.source.c_str());
        return image;
    }
    NodePointer build(const InlineNode::SoftBreak&) { return makeNode(CMARK_NODE_SOFTBREAK); }
    NodePointer build(const InlineNode::LineBreak&) { return makeNode(CMARK_NODE_LINEBREAK); }

    cmark_syntax_extension* m_taskListExtension;
    cmark_syntax_extension* m_tableExtension;
    cmark_syntax_extension* m_strikethroughExtension;
};

template <typename Render>
std::string render(const BlockNodes& blocks, Render renderTree)
{
    const AllocationScope scope;
    NodePointer document = TreeBuilder().document(blocks);
    if (!document)
        return {};
    char* text = renderTree(document.get(), CMARK_OPT_DEFAULT, 0, &trackedMemory);
    if (!text)
        return {};
    std::string result(text);
    trackedFree(text);
    return result;
}

} // namespace

std::string renderMarkdown(const BlockNodes& blocks) { return render(blocks, cmark_render_commonmark_with_mem); }

std::string renderPlainText(const BlockNodes& blocks) { return render(blocks, cmark_render_plaintext_with_mem); }

std::string tableCopyText(const BlockNode& table)
{
    std::string text = renderPlainText({table});
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace Markdown
