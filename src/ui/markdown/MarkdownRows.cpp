#include "ui/markdown/MarkdownRows.h"

#include "ui/markdown/CodeHighlighter.h"
#include "ui/markdown/InlineRichText.h"

#include "markdown/ImageAppearance.h"
#include "markdown/MarkdownRenderer.h"
#include "markdown/MarkdownUrl.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

using Markdown::BlockNode;
using Markdown::InlineNode;
using Markdown::InlineNodes;

constexpr int blockGap = 10;     // between top-level blocks
constexpr int innerGap = 8;      // between blocks in a quote or a loose list
constexpr int tightGap = 2;      // between the items of a tight list
constexpr int listIndent = 24;
constexpr int quoteIndent = 14;
constexpr int maxIndentedDepth = 6; // deeper containers stop moving right

class Flattener {
public:
    explicit Flattener(std::shared_ptr<const BlockNode> owner)
        : m_owner(std::move(owner))
    {
    }

    std::vector<MarkdownRow> run(bool first)
    {
        m_nextSpacing = first ? 0 : blockGap;
        block(*m_owner, Context{});
        return std::move(m_rows);
    }

private:
    struct Context {
        int indent = 0;
        int depth = 0;
        int listDepth = 0;
        std::vector<MarkdownRowPlace::QuoteBar> bars;
    };

    Context inner(const Context& outer, int step) const
    {
        Context context = outer;
        if (outer.depth < maxIndentedDepth)
            context.indent += step;
        ++context.depth;
        return context;
    }

    void row(const BlockNode* leaf, const Context& context)
    {
        MarkdownRow made{m_owner, leaf, {}};
        made.place.indent = context.indent;
        made.place.bars = context.bars;
        made.place.marker = m_marker;
        made.place.markerText = std::move(m_markerText);
        made.place.spacingAbove = m_nextSpacing;
        m_rows.push_back(std::move(made));
        m_marker = MarkdownRowPlace::Marker::none;
        m_markerText.clear();
        m_nextSpacing = innerGap;
    }

    void children(const Markdown::BlockNodes& blocks, const Context& context, int gap)
    {
        if (blocks.empty()) {
            row(nullptr, context);
            return;
        }
        for (std::size_t index = 0; index < blocks.size(); ++index) {
            if (index > 0)
                m_nextSpacing = gap;
            block(blocks[index], context);
        }
    }

    template <typename Item, typename MarkerOf>
    void items(const std::vector<Item>& list, bool isTight, const Context& context, MarkerOf markerOf)
    {
        const int gap = isTight ? tightGap : innerGap;
        Context itemContext = inner(context, listIndent);
        ++itemContext.listDepth;
        for (std::size_t index = 0; index < list.size(); ++index) {
            if (index > 0)
                m_nextSpacing = gap;
            markerOf(list[index], index);
            children(list[index].children, itemContext, gap);
        }
    }

    void block(const BlockNode& node, const Context& context)
    {
        using Marker = MarkdownRowPlace::Marker;
        if (const auto* quote = node.as<BlockNode::Blockquote>()) {
            Context quoted = inner(context, quoteIndent);
            quoted.bars.push_back({context.indent, false});
            const std::size_t first = m_rows.size();
            children(quote->children, quoted, innerGap);
            for (std::size_t index = first + 1; index < m_rows.size(); ++index)
                m_rows[index].place.bars[context.bars.size()].joinsAbove = true;
        } else if (const auto* bulleted = node.as<BlockNode::BulletedList>()) {
            static const QString bullets[] = {QStringLiteral("•"), QStringLiteral("◦"), QStringLiteral("▪")};
            const QString& bullet = bullets[context.listDepth % 3];
            items(bulleted->items, bulleted->isTight, context, [&](const auto&, std::size_t) {
                m_marker = Marker::bullet;
                m_markerText = bullet;
            });
        } else if (const auto* numbered = node.as<BlockNode::NumberedList>()) {
            items(numbered->items, numbered->isTight, context, [&](const auto&, std::size_t index) {
                m_marker = Marker::number;
                m_markerText = QString::number(static_cast<qint64>(numbered->start) + static_cast<qint64>(index))
                               + QLatin1Char('.');
            });
        } else if (const auto* tasks = node.as<BlockNode::TaskList>()) {
            items(tasks->items, tasks->isTight, context, [&](const Markdown::RawTaskListItem& item, std::size_t) {
                m_marker = item.isCompleted ? Marker::checked : Marker::unchecked;
            });
        } else {
            row(&node, context);
        }
    }

    std::shared_ptr<const BlockNode> m_owner;
    std::vector<MarkdownRow> m_rows;
    MarkdownRowPlace::Marker m_marker = MarkdownRowPlace::Marker::none;
    QString m_markerText;
    int m_nextSpacing = 0;
};

QString plainText(const InlineNodes& nodes)
{
    QString text;
    for (const InlineNode& node : nodes) {
        if (const auto* part = node.as<InlineNode::Text>())
            text += QString::fromStdString(part->text);
        else if (const auto* code = node.as<InlineNode::Code>())
            text += QString::fromStdString(code->code);
        else if (node.as<InlineNode::SoftBreak>() || node.as<InlineNode::LineBreak>())
            text += QLatin1Char(' ');
        else if (const auto* emphasis = node.as<InlineNode::Emphasis>())
            text += plainText(emphasis->children);
        else if (const auto* strong = node.as<InlineNode::Strong>())
            text += plainText(strong->children);
        else if (const auto* strikethrough = node.as<InlineNode::Strikethrough>())
            text += plainText(strikethrough->children);
        else if (const auto* link = node.as<InlineNode::Link>())
            text += plainText(link->children);
        else if (const auto* image = node.as<InlineNode::Image>())
            text += plainText(image->children);
    }
    return text;
}

// The http and https images of a paragraph, in order, each with whether it
// shows in the light and in the dark appearance.
void collectWebImages(const InlineNodes& nodes, QVariantList& images)
{
    for (const InlineNode& node : nodes) {
        if (const auto* image = node.as<InlineNode::Image>()) {
            if (!isWebImageSource(image->source))
                continue;
            const QUrl url = *Markdown::resolveUrl(image->source);
            images.append(QVariantMap{{QStringLiteral("source"), url},
                                      {QStringLiteral("alt"), plainText(image->children)},
                                      {QStringLiteral("light"), Markdown::isImageShown(url, Markdown::ColorScheme::light)},
                                      {QStringLiteral("dark"), Markdown::isImageShown(url, Markdown::ColorScheme::dark)}});
        } else if (const auto* emphasis = node.as<InlineNode::Emphasis>()) {
            collectWebImages(emphasis->children, images);
        } else if (const auto* strong = node.as<InlineNode::Strong>()) {
            collectWebImages(strong->children, images);
        } else if (const auto* strikethrough = node.as<InlineNode::Strikethrough>()) {
            collectWebImages(strikethrough->children, images);
        } else if (const auto* link = node.as<InlineNode::Link>()) {
            collectWebImages(link->children, images);
        }
    }
}

int alignmentOf(Markdown::RawTableColumnAlignment alignment)
{
    switch (alignment) {
    case Markdown::RawTableColumnAlignment::center: return Qt::AlignHCenter;
    case Markdown::RawTableColumnAlignment::right: return Qt::AlignRight;
    case Markdown::RawTableColumnAlignment::left:
    case Markdown::RawTableColumnAlignment::none: break;
    }
    return Qt::AlignLeft;
}

QString markerName(MarkdownRowPlace::Marker marker)
{
    switch (marker) {
    case MarkdownRowPlace::Marker::bullet: return QStringLiteral("bullet");
    case MarkdownRowPlace::Marker::number: return QStringLiteral("number");
    case MarkdownRowPlace::Marker::unchecked: return QStringLiteral("unchecked");
    case MarkdownRowPlace::Marker::checked: return QStringLiteral("checked");
    case MarkdownRowPlace::Marker::none: break;
    }
    return {};
}

// A table of `rows` from `firstRow` to `endRow` (with the header when `withHeader`)
// and `columns` from `firstColumn` on, as the plain text "Copy table" gives.
QString tableText(const BlockNode::Table& table, std::size_t firstRow, std::size_t endRow, bool withHeader,
                  std::size_t firstColumn)
{
    const auto columnsOf = [&](const Markdown::RawTableRow& tableRow) {
        Markdown::RawTableRow part;
        for (std::size_t column = firstColumn; column < table.columnAlignments.size(); ++column)
            part.cells.push_back(column < tableRow.cells.size() ? tableRow.cells[column] : Markdown::RawTableCell{});
        return part;
    };
    std::vector<Markdown::RawTableRow> rows;
    if (withHeader)
        rows.push_back(columnsOf(table.rows.front()));
    for (std::size_t rowIndex = firstRow; rowIndex < endRow; ++rowIndex)
        rows.push_back(columnsOf(table.rows[rowIndex]));
    std::vector<Markdown::RawTableColumnAlignment> alignments(table.columnAlignments.begin()
                                                                  + static_cast<std::ptrdiff_t>(firstColumn),
                                                              table.columnAlignments.end());
    return QString::fromStdString(Markdown::tableCopyText(BlockNode::table(std::move(alignments), std::move(rows))));
}

// Draws at most maxTableColumns columns and maxTableCells cells: a reply can
// hold a table of any size, and every cell is an item of its own. What is cut
// follows the drawn part as text, under a note.
void presentTable(const BlockNode::Table& table, const InlineRichTextStyle& inlineStyle, QVariantMap& out)
{
    const std::size_t columns = table.columnAlignments.size();
    const std::size_t drawnColumns = std::min(columns, maxTableColumns);
    const std::size_t rowsThatFit = std::max<std::size_t>(1, maxTableCells / std::max<std::size_t>(1, drawnColumns));
    const std::size_t drawnRows = std::min(table.rows.size(), rowsThatFit);
    QVariantList cells;
    for (std::size_t rowIndex = 0; rowIndex < drawnRows; ++rowIndex) {
        const auto& tableRow = table.rows[rowIndex];
        for (std::size_t column = 0; column < drawnColumns; ++column) {
            QString html = column < tableRow.cells.size() ? inlineRichText(tableRow.cells[column].content, inlineStyle)
                                                          : QString();
            if (rowIndex == 0)
                html = QStringLiteral("<b>%1</b>").arg(html);
            cells.append(QVariantMap{{QStringLiteral("html"), html},
                                     {QStringLiteral("header"), rowIndex == 0},
                                     {QStringLiteral("align"), alignmentOf(table.columnAlignments[column])},
                                     {QStringLiteral("lastColumn"), column + 1 == drawnColumns},
                                     {QStringLiteral("lastRow"), rowIndex + 1 == drawnRows}});
        }
    }
    out[QStringLiteral("kind")] = QStringLiteral("table");
    out[QStringLiteral("columns")] = static_cast<int>(drawnColumns);
    out[QStringLiteral("cells")] = cells;
    if (drawnColumns == columns && drawnRows == table.rows.size())
        return;

    QStringList shown;
    QStringList cut;
    if (drawnColumns < columns) {
        shown << QCoreApplication::translate("MarkdownTable", "%1 of %2 columns").arg(drawnColumns).arg(columns);
        cut << tableText(table, 1, drawnRows, true, drawnColumns);
    }
    if (drawnRows < table.rows.size()) {
        // Counted as the reader sees them: the header is not a row of data.
        shown << QCoreApplication::translate("MarkdownTable", "%1 of %2 rows")
                     .arg(drawnRows - 1)
                     .arg(table.rows.size() - 1);
        cut << tableText(table, drawnRows, table.rows.size(), true, 0);
    }
    out[QStringLiteral("note")] =
        QCoreApplication::translate("MarkdownTable",
                                    "Table cut: showing %1. The rest follows as text; \u201cCopy table\u201d copies all of it.")
            .arg(shown.join(QCoreApplication::translate("MarkdownTable", " and ")));
    out[QStringLiteral("cutText")] = cut.join(QStringLiteral("\n\n"));
}

} // namespace

bool MarkdownRow::sameAs(const MarkdownRow& other) const
{
    if (!(place == other.place))
        return false;
    if (leaf == other.leaf)
        return true;
    return leaf && other.leaf && *leaf == *other.leaf;
}

std::vector<MarkdownRow> flattenBlock(const std::shared_ptr<const BlockNode>& block, bool first)
{
    return Flattener(block).run(first);
}

QVariantMap presentRow(const MarkdownRow& row, const MarkdownRowStyle& style)
{
    QVariantMap out;
    QVariantList bars;
    for (const MarkdownRowPlace::QuoteBar& bar : row.place.bars)
        bars.append(QVariantMap{{QStringLiteral("x"), bar.x}, {QStringLiteral("joinsAbove"), bar.joinsAbove}});
    out[QStringLiteral("indent")] = row.place.indent;
    out[QStringLiteral("bars")] = bars;
    out[QStringLiteral("marker")] = markerName(row.place.marker);
    out[QStringLiteral("markerText")] = row.place.markerText;
    out[QStringLiteral("spacingAbove")] = row.place.spacingAbove;
    out[QStringLiteral("kind")] = QStringLiteral("empty");
    // Every role has a value of its type, so the views can declare them typed.
    for (const char* key : {"html", "language", "copyText", "text", "note", "cutText"})
        out[QString::fromLatin1(key)] = QString();
    for (const char* key : {"images", "cells"})
        out[QString::fromLatin1(key)] = QVariantList();
    out[QStringLiteral("hasText")] = false;
    out[QStringLiteral("level")] = 0;
    out[QStringLiteral("columns")] = 0;

    InlineRichTextStyle inlineStyle{style.textColor, style.linkColor, style.codeBackground, style.codeFontFamily, false};
    if (!row.leaf)
        return out;
    if (const auto* paragraph = row.leaf->as<BlockNode::Paragraph>()) {
        QVariantList images;
        collectWebImages(paragraph->content, images);
        inlineStyle.leaveOutWebImages = true;
        out[QStringLiteral("kind")] = QStringLiteral("paragraph");
        out[QStringLiteral("html")] = inlineRichText(paragraph->content, inlineStyle);
        out[QStringLiteral("hasText")] = !plainText(paragraph->content).trimmed().isEmpty() || images.isEmpty();
        out[QStringLiteral("images")] = images;
    } else if (const auto* heading = row.leaf->as<BlockNode::Heading>()) {
        out[QStringLiteral("kind")] = QStringLiteral("heading");
        out[QStringLiteral("level")] = std::clamp(heading->level, 1, 6);
        out[QStringLiteral("html")] = inlineRichText(heading->content, inlineStyle);
    } else if (const auto* code = row.leaf->as<BlockNode::CodeBlock>()) {
        QString shown = QString::fromStdString(code->content);
        if (shown.endsWith(QLatin1Char('\n')))
            shown.chop(1);
        const QString language = CodeHighlighter::languageOf(QString::fromStdString(code->fenceInfo.value_or("")));
        const auto appearance = style.darkCode ? CodeHighlighter::Appearance::dark : CodeHighlighter::Appearance::light;
        out[QStringLiteral("kind")] = QStringLiteral("code");
        out[QStringLiteral("copyText")] = QString::fromStdString(code->content);
        out[QStringLiteral("language")] = language;
        out[QStringLiteral("html")] = CodeHighlighter::toHtml(shown, style.highlightCode ? language : QString(), appearance);
    } else if (const auto* table = row.leaf->as<BlockNode::Table>()) {
        presentTable(*table, inlineStyle, out);
        out[QStringLiteral("copyText")] = QString::fromStdString(Markdown::tableCopyText(*row.leaf));
    } else if (const auto* html = row.leaf->as<BlockNode::HtmlBlock>()) {
        QString shown = QString::fromStdString(html->content);
        if (shown.endsWith(QLatin1Char('\n')))
            shown.chop(1);
        out[QStringLiteral("kind")] = QStringLiteral("html");
        out[QStringLiteral("text")] = shown;
    } else if (row.leaf->as<BlockNode::ThematicBreak>()) {
        out[QStringLiteral("kind")] = QStringLiteral("rule");
    }
    return out;
}
