#pragma once

#include "markdown/BlockNode.h"

#include <QColor>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <vector>

// Where a row of a Markdown view sits: its left inset, the bars of the quotes
// around it and the list marker in front of its first line.
struct MarkdownRowPlace {
    enum class Marker { none, bullet, number, unchecked, checked };
    struct QuoteBar {
        int x = 0;
        bool joinsAbove = false; // the row above is in the same quote
        bool operator==(const QuoteBar&) const = default;
    };

    int indent = 0;
    std::vector<QuoteBar> bars;
    Marker marker = Marker::none;
    QString markerText;
    int spacingAbove = 0;
    bool operator==(const MarkdownRowPlace&) const = default;
};

// One row of a Markdown view. Quotes and lists are flattened into the leaf
// blocks they hold, so a list that grows by one item adds a row instead of
// laying the whole list out again.
struct MarkdownRow {
    std::shared_ptr<const Markdown::BlockNode> owner; // the top-level block `leaf` belongs to
    const Markdown::BlockNode* leaf = nullptr;        // none for an empty list item or quote
    MarkdownRowPlace place;

    bool sameAs(const MarkdownRow& other) const;
};

// The rows of one top-level block; `first` when it opens the message.
std::vector<MarkdownRow> flattenBlock(const std::shared_ptr<const Markdown::BlockNode>& block, bool first);

// The colours and fonts a row is drawn with.
struct MarkdownRowStyle {
    QColor textColor = Qt::black;
    QColor linkColor = Qt::blue;
    QColor codeBackground;
    QString codeFontFamily;
    bool darkCode = false;      // highlight for a dark code background
    bool highlightCode = true;
    bool operator==(const MarkdownRowStyle&) const = default;
};

// The most of a table drawn as cells; the rest is shown as text.
inline constexpr std::size_t maxTableColumns = 64;
inline constexpr std::size_t maxTableCells = 10000;

// What the views read of a row, by role name (see MarkdownBlockModel::roleNames).
QVariantMap presentRow(const MarkdownRow& row, const MarkdownRowStyle& style);
