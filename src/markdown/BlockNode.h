#pragma once

#include "markdown/InlineNode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace Markdown {

struct BlockNode;
using BlockNodes = std::vector<BlockNode>;

struct RawListItem {
    BlockNodes children;
    bool operator==(const RawListItem&) const;
};

struct RawTaskListItem {
    bool isCompleted = false;
    BlockNodes children;
    bool operator==(const RawTaskListItem&) const;
};

struct RawTableCell {
    InlineNodes content;
    bool operator==(const RawTableCell&) const = default;
};

struct RawTableRow {
    std::vector<RawTableCell> cells;
    bool operator==(const RawTableRow&) const = default;
};

enum class RawTableColumnAlignment { None, Left, Center, Right };

// One block of a Markdown document. A plain value like InlineNode.
struct BlockNode {
    struct Blockquote {
        BlockNodes children;
        bool operator==(const Blockquote&) const = default;
    };
    struct BulletedList {
        bool isTight = false;
        std::vector<RawListItem> items;
        bool operator==(const BulletedList&) const = default;
    };
    struct NumberedList {
        bool isTight = false;
        int start = 1; // the number of the first item
        std::vector<RawListItem> items;
        bool operator==(const NumberedList&) const = default;
    };
    struct TaskList {
        bool isTight = false;
        std::vector<RawTaskListItem> items;
        bool operator==(const TaskList&) const = default;
    };
    struct CodeBlock {
        std::optional<std::string> fenceInfo; // empty for an indented block
        std::string content;                  // ends with the code's final line feed
        bool operator==(const CodeBlock&) const = default;
    };
    struct HtmlBlock {
        std::string content;
        bool operator==(const HtmlBlock&) const = default;
    };
    struct Paragraph {
        InlineNodes content;
        bool operator==(const Paragraph&) const = default;
    };
    struct Heading {
        int level = 1; // 1 to 6
        InlineNodes content;
        bool operator==(const Heading&) const = default;
    };
    struct Table {
        std::vector<RawTableColumnAlignment> columnAlignments; // one per column
        std::vector<RawTableRow> rows;                         // the header row first
        bool operator==(const Table&) const = default;
    };
    struct ThematicBreak {
        bool operator==(const ThematicBreak&) const = default;
    };

    using Value = std::variant<Blockquote, BulletedList, NumberedList, TaskList, CodeBlock, HtmlBlock, Paragraph,
                               Heading, Table, ThematicBreak>;

    // The cases in the order of `Value`.
    enum class Kind {
        Blockquote,
        BulletedList,
        NumberedList,
        TaskList,
        CodeBlock,
        HtmlBlock,
        Paragraph,
        Heading,
        Table,
        ThematicBreak
    };

    // Implicit from any case on purpose; the constraint keeps a node's own
    // copies and moves away from it.
    template <typename Case>
    requires std::is_constructible_v<Value, Case&&>
    BlockNode(Case&& caseValue) // NOLINT(bugprone-forwarding-reference-overload)
        : value(std::forward<Case>(caseValue))
    {
    }

    static BlockNode blockquote(BlockNodes children) { return Blockquote{std::move(children)}; }
    static BlockNode bulletedList(bool isTight, std::vector<RawListItem> items)
    {
        return BulletedList{isTight, std::move(items)};
    }
    static BlockNode numberedList(bool isTight, int start, std::vector<RawListItem> items)
    {
        return NumberedList{isTight, start, std::move(items)};
    }
    static BlockNode taskList(bool isTight, std::vector<RawTaskListItem> items)
    {
        return TaskList{isTight, std::move(items)};
    }
    static BlockNode codeBlock(std::optional<std::string> fenceInfo, std::string content)
    {
        return CodeBlock{std::move(fenceInfo), std::move(content)};
    }
    static BlockNode htmlBlock(std::string content) { return HtmlBlock{std::move(content)}; }
    static BlockNode paragraph(InlineNodes content) { return Paragraph{std::move(content)}; }
    static BlockNode heading(int level, InlineNodes content) { return Heading{level, std::move(content)}; }
    static BlockNode table(std::vector<RawTableColumnAlignment> columnAlignments, std::vector<RawTableRow> rows)
    {
        return Table{std::move(columnAlignments), std::move(rows)};
    }
    static BlockNode thematicBreak() { return ThematicBreak{}; }

    Kind kind() const { return static_cast<Kind>(value.index()); }
    template <typename Case>
    const Case* as() const
    {
        return std::get_if<Case>(&value);
    }

    bool operator==(const BlockNode&) const = default;

    Value value;
};

inline bool RawListItem::operator==(const RawListItem& other) const { return children == other.children; }
inline bool RawTaskListItem::operator==(const RawTaskListItem& other) const
{
    return isCompleted == other.isCompleted && children == other.children;
}

std::size_t hashValue(const BlockNode& node);
std::size_t hashValue(const BlockNodes& nodes);
std::size_t hashValue(const RawListItem& item);
std::size_t hashValue(const RawTaskListItem& item);
std::size_t hashValue(const RawTableRow& row);
std::size_t hashValue(const RawTableCell& cell);

} // namespace Markdown

template <>
struct std::hash<Markdown::BlockNode> {
    std::size_t operator()(const Markdown::BlockNode& node) const { return Markdown::hashValue(node); }
};
template <>
struct std::hash<Markdown::RawListItem> {
    std::size_t operator()(const Markdown::RawListItem& item) const { return Markdown::hashValue(item); }
};
template <>
struct std::hash<Markdown::RawTaskListItem> {
    std::size_t operator()(const Markdown::RawTaskListItem& item) const { return Markdown::hashValue(item); }
};
template <>
struct std::hash<Markdown::RawTableRow> {
    std::size_t operator()(const Markdown::RawTableRow& row) const { return Markdown::hashValue(row); }
};
template <>
struct std::hash<Markdown::RawTableCell> {
    std::size_t operator()(const Markdown::RawTableCell& cell) const { return Markdown::hashValue(cell); }
};
