#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace Markdown {

struct InlineNode;
using InlineNodes = std::vector<InlineNode>;

// One inline element of a paragraph, heading or table cell. A plain value: it
// holds no reference into the parser's tree and compares by content.
struct InlineNode {
    struct Text {
        std::string text;
        bool operator==(const Text&) const = default;
    };
    struct Code {
        std::string code;
        bool operator==(const Code&) const = default;
    };
    struct Html {
        std::string html;
        bool operator==(const Html&) const = default;
    };
    struct Emphasis {
        InlineNodes children;
        bool operator==(const Emphasis&) const = default;
    };
    struct Strong {
        InlineNodes children;
        bool operator==(const Strong&) const = default;
    };
    struct Strikethrough {
        InlineNodes children;
        bool operator==(const Strikethrough&) const = default;
    };
    // `destination` and `source` are kept as written; see MarkdownUrl.h to resolve them.
    struct Link {
        std::string destination;
        InlineNodes children;
        bool operator==(const Link&) const = default;
    };
    struct Image {
        std::string source;
        InlineNodes children; // the alternative text
        bool operator==(const Image&) const = default;
    };
    struct SoftBreak {
        bool operator==(const SoftBreak&) const = default;
    };
    struct LineBreak {
        bool operator==(const LineBreak&) const = default;
    };

    using Value = std::variant<Text, Code, Html, Emphasis, Strong, Strikethrough, Link, Image, SoftBreak, LineBreak>;

    // The cases in the order of `Value`.
    enum class Kind { Text, Code, Html, Emphasis, Strong, Strikethrough, Link, Image, SoftBreak, LineBreak };

    // Implicit from any case on purpose; the constraint keeps a node's own
    // copies and moves away from it.
    template <typename Case>
    requires std::is_constructible_v<Value, Case&&>
    InlineNode(Case&& caseValue) // NOLINT(bugprone-forwarding-reference-overload)
        : value(std::forward<Case>(caseValue))
    {
    }

    static InlineNode text(std::string text) { return Text{std::move(text)}; }
    static InlineNode code(std::string code) { return Code{std::move(code)}; }
    static InlineNode html(std::string html) { return Html{std::move(html)}; }
    static InlineNode emphasis(InlineNodes children) { return Emphasis{std::move(children)}; }
    static InlineNode strong(InlineNodes children) { return Strong{std::move(children)}; }
    static InlineNode strikethrough(InlineNodes children) { return Strikethrough{std::move(children)}; }
    static InlineNode link(std::string destination, InlineNodes children)
    {
        return Link{std::move(destination), std::move(children)};
    }
    static InlineNode image(std::string source, InlineNodes children)
    {
        return Image{std::move(source), std::move(children)};
    }
    static InlineNode softBreak() { return SoftBreak{}; }
    static InlineNode lineBreak() { return LineBreak{}; }

    Kind kind() const { return static_cast<Kind>(value.index()); }
    template <typename Case>
    const Case* as() const
    {
        return std::get_if<Case>(&value);
    }

    bool operator==(const InlineNode&) const = default;

    Value value;
};

std::size_t hashValue(const InlineNode& node);
std::size_t hashValue(const InlineNodes& nodes);

// Folds `value` into `seed` (the usual boost-style mix).
inline void combineHash(std::size_t& seed, std::size_t value)
{
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

} // namespace Markdown

template <>
struct std::hash<Markdown::InlineNode> {
    std::size_t operator()(const Markdown::InlineNode& node) const { return Markdown::hashValue(node); }
};
