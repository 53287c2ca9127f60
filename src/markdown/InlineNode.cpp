#include "markdown/InlineNode.h"

#include <string_view>

namespace Markdown {

namespace {

struct InlineHasher {
    std::size_t operator()(const InlineNode::Text& node) const { return strings(node.text); }
    std::size_t operator()(const InlineNode::Code& node) const { return strings(node.code); }
    std::size_t operator()(const InlineNode::Html& node) const { return strings(node.html); }
    std::size_t operator()(const InlineNode::Emphasis& node) const { return hashValue(node.children); }
    std::size_t operator()(const InlineNode::Strong& node) const { return hashValue(node.children); }
    std::size_t operator()(const InlineNode::Strikethrough& node) const { return hashValue(node.children); }
    std::size_t operator()(const InlineNode::Link& node) const
    {
        std::size_t seed = strings(node.destination);
        combineHash(seed, hashValue(node.children));
        return seed;
    }
    std::size_t operator()(const InlineNode::Image& node) const
    {
        std::size_t seed = strings(node.source);
        combineHash(seed, hashValue(node.children));
        return seed;
    }
    std::size_t operator()(const InlineNode::SoftBreak&) const { return 0; }
    std::size_t operator()(const InlineNode::LineBreak&) const { return 0; }

    static std::size_t strings(const std::string& text) { return std::hash<std::string_view>{}(text); }
};

} // namespace

std::size_t hashValue(const InlineNode& node)
{
    std::size_t seed = node.value.index();
    combineHash(seed, std::visit(InlineHasher{}, node.value));
    return seed;
}

std::size_t hashValue(const InlineNodes& nodes)
{
    std::size_t seed = nodes.size();
    for (const InlineNode& node : nodes)
        combineHash(seed, hashValue(node));
    return seed;
}

} // namespace Markdown
