#include "markdown/BlockNode.h"

#include <string_view>

namespace Markdown {

namespace {

std::size_t hashString(const std::string& text) { return std::hash<std::string_view>{}(text); }

template <typename Item>
std::size_t hashItems(const std::vector<Item>& items)
{
    std::size_t seed = items.size();
    for (const Item& item : items)
        combineHash(seed, hashValue(item));
    return seed;
}

struct BlockHasher {
    std::size_t operator()(const BlockNode::Blockquote& node) const { return hashValue(node.children); }
    std::size_t operator()(const BlockNode::BulletedList& node) const
    {
        std::size_t seed = node.isTight;
        combineHash(seed, hashItems(node.items));
        return seed;
    }
    std::size_t operator()(const BlockNode::NumberedList& node) const
    {
        std::size_t seed = node.isTight;
        combineHash(seed, std::hash<int>{}(node.start));
        combineHash(seed, hashItems(node.items));
        return seed;
    }
    std::size_t operator()(const BlockNode::TaskList& node) const
    {
        std::size_t seed = node.isTight;
        combineHash(seed, hashItems(node.items));
        return seed;
    }
    std::size_t operator()(const BlockNode::CodeBlock& node) const
    {
        std::size_t seed = node.fenceInfo ? hashString(*node.fenceInfo) : 1;
        combineHash(seed, hashString(node.content));
        return seed;
    }
    std::size_t operator()(const BlockNode::HtmlBlock& node) const { return hashString(node.content); }
    std::size_t operator()(const BlockNode::Paragraph& node) const { return hashValue(node.content); }
    std::size_t operator()(const BlockNode::Heading& node) const
    {
        std::size_t seed = std::hash<int>{}(node.level);
        combineHash(seed, hashValue(node.content));
        return seed;
    }
    std::size_t operator()(const BlockNode::Table& node) const
    {
        std::size_t seed = node.columnAlignments.size();
        for (RawTableColumnAlignment alignment : node.columnAlignments)
            combineHash(seed, static_cast<std::size_t>(alignment));
        combineHash(seed, hashItems(node.rows));
        return seed;
    }
    std::size_t operator()(const BlockNode::ThematicBreak&) const { return 0; }
};

} // namespace

std::size_t hashValue(const BlockNode& node)
{
    std::size_t seed = node.value.index();
    combineHash(seed, std::visit(BlockHasher{}, node.value));
    return seed;
}

std::size_t hashValue(const BlockNodes& nodes) { return hashItems(nodes); }

std::size_t hashValue(const RawListItem& item) { return hashValue(item.children); }

std::size_t hashValue(const RawTaskListItem& item)
{
    std::size_t seed = item.isCompleted;
    combineHash(seed, hashValue(item.children));
    return seed;
}

std::size_t hashValue(const RawTableRow& row) { return hashItems(row.cells); }

std::size_t hashValue(const RawTableCell& cell) { return hashValue(cell.content); }

} // namespace Markdown
