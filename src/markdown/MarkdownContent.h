#pragma once

#include "markdown/BlockNode.h"

#include <string_view>

namespace Markdown {

// A parsed message text: its top-level blocks.
struct MarkdownContent {
    BlockNodes blocks;

    MarkdownContent() = default;
    explicit MarkdownContent(BlockNodes blocks);
    explicit MarkdownContent(std::string_view markdown); // parses

    bool operator==(const MarkdownContent&) const = default;
};

} // namespace Markdown

template <>
struct std::hash<Markdown::MarkdownContent> {
    std::size_t operator()(const Markdown::MarkdownContent& content) const
    {
        return Markdown::hashValue(content.blocks);
    }
};
