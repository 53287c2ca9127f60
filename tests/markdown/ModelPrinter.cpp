#include "ModelPrinter.h"

namespace Markdown {

namespace {

template <typename Nodes>
void printList(const Nodes& nodes, std::ostream* out)
{
    *out << "[";
    for (std::size_t index = 0; index < nodes.size(); ++index)
        *out << (index ? ", " : ""), PrintTo(nodes[index], out);
    *out << "]";
}

struct InlinePrinter {
    std::ostream* out;
    void operator()(const InlineNode::Text& node) const { *out << "text(\"" << node.text << "\")"; }
    void operator()(const InlineNode::Code& node) const { *out << "code(\"" << node.code << "\")"; }
    void operator()(const InlineNode::Html& node) const { *out << "html(\"" << node.html << "\")"; }
    void operator()(const InlineNode::Emphasis& node) const { *out << "emphasis", printList(node.children, out); }
    void operator()(const InlineNode::Strong& node) const { *out << "strong", printList(node.children, out); }
    void operator()(const InlineNode::Strikethrough& node) const
    {
        *out << "strikethrough", printList(node.children, out);
    }
    void operator()(const InlineNode::Link& node) const
    {
        *out << "link(\"" << node.destination << "\")", printList(node.children, out);
    }
    void operator()(const InlineNode::Image& node) const
    {
        *out << "image(\"" << node.source << "\")", printList(node.children, out);
    }
    void operator()(const InlineNode::SoftBreak&) const { *out << "softBreak"; }
    void operator()(const InlineNode::LineBreak&) const { *out << "lineBreak"; }
};

struct BlockPrinter {
    std::ostream* out;
    void operator()(const BlockNode::Blockquote& node) const { *out << "blockquote", printList(node.children, out); }
    void operator()(const BlockNode::BulletedList& node) const
    {
        *out << "bulletedList(tight " << node.isTight << ")";
        for (const RawListItem& item : node.items)
            printList(item.children, out);
    }
    void operator()(const BlockNode::NumberedList& node) const
    {
        *out << "numberedList(tight " << node.isTight << ", start " << node.start << ")";
        for (const RawListItem& item : node.items)
            printList(item.children, out);
    }
    void operator()(const BlockNode::TaskList& node) const
    {
        *out << "taskList(tight " << node.isTight << ")";
        for (const RawTaskListItem& item : node.items)
            *out << (item.isCompleted ? "[x]" : "[ ]"), printList(item.children, out);
    }
    void operator()(const BlockNode::CodeBlock& node) const
    {
        *out << "codeBlock(" << (node.fenceInfo ? "\"" + *node.fenceInfo + "\"" : "none") << ", \"" << node.content
             << "\")";
    }
    void operator()(const BlockNode::HtmlBlock& node) const { *out << "htmlBlock(\"" << node.content << "\")"; }
    void operator()(const BlockNode::Paragraph& node) const { *out << "paragraph", printList(node.content, out); }
    void operator()(const BlockNode::Heading& node) const
    {
        *out << "heading(" << node.level << ")", printList(node.content, out);
    }
    void operator()(const BlockNode::Table& node) const
    {
        *out << "table(";
        for (RawTableColumnAlignment alignment : node.columnAlignments)
            *out << "nlcr"[static_cast<int>(alignment)];
        *out << ")";
        for (const RawTableRow& row : node.rows) {
            *out << "{";
            for (const RawTableCell& cell : row.cells)
                printList(cell.content, out);
            *out << "}";
        }
    }
    void operator()(const BlockNode::ThematicBreak&) const { *out << "thematicBreak"; }
};

} // namespace

void PrintTo(const InlineNode& node, std::ostream* out) { std::visit(InlinePrinter{out}, node.value); }

void PrintTo(const BlockNode& node, std::ostream* out) { std::visit(BlockPrinter{out}, node.value); }

} // namespace Markdown
