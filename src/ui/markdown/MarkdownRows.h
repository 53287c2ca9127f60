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
    enum class Marker { None, Bullet, Number, Unchecked, Checked };
    struct QuoteBar {
        int x = 0;
        bool joinsAbove = false; // the row above is in the same quote
        bool operator==(const QuoteBar&) const = default;
    };

    int indent = 0;
    std::vector<QuoteBar> bars;
    Marker marker = Marker::None;
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
    bool darkCode = false; // highlight for a dark code background
    bool highlightCode = true;
    bool operator==(const MarkdownRowStyle&) const = default;
};

// The most of a table drawn as cells; the rest is shown as text.
inline constexpr std::size_t maxTableColumns = 64;
inline constexpr std::size_t maxTableCells = 10000;

// What the views read of a row, by role name (see MarkdownBlockModel::roleNames).
QVariantMap presentRow(const MarkdownRow& row, const MarkdownRowStyle& style);

// A plain row closes at a line end once it is this long, so no row of a long
// paragraph grows without end.
inline constexpr qsizetype maxPlainRowLength = 1024;

// Plain text cut into rows: a row closes after a blank line that follows its
// text, or at a line end once it is maxPlainRowLength long. Each row keeps the
// line end that closes it, so the rows joined are the text. A cut depends only
// on the text before it: a text that grows changes its last row, or adds rows.
std::vector<QString> plainRowsOf(QStringView text);
// A plain row as the views read it: inline Markdown only, lines kept as typed,
// but for the line end that closes the row.
QVariantMap presentPlainRow(const QString& row, const MarkdownRowStyle& style);
// A chunk of a text too large to format, shown as written (an Html row).
QVariantMap presentWrittenRow(const QString& chunk);
