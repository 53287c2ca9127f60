#include "ui/markdown/MarkdownRows.h"

#include "ui/markdown/CodeHighlighter.h"
#include "ui/markdown/InlineRichText.h"
#include "ui/markdown/MarkdownBlockModel.h"
#include "ui/markdown/MessageFormatting.h"
#include "ui/markdown/TextChunks.h"

#include "markdown/ImageAppearance.h"
#include "markdown/MarkdownRenderer.h"
#include "markdown/MarkdownUrl.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>

namespace {

using Markdown::BlockNode;
using Markdown::InlineNode;
using Markdown::InlineNodes;

constexpr int blockGap = 10; // between top-level blocks
constexpr int innerGap = 8;  // between blocks in a quote or a loose list
constexpr int tightGap = 2;  // between the items of a tight list
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
        m_marker = MarkdownRowPlace::Marker::None;
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
                m_marker = Marker::Bullet;
                m_markerText = bullet;
            });
        } else if (const auto* numbered = node.as<BlockNode::NumberedList>()) {
            items(numbered->items, numbered->isTight, context, [&](const auto&, std::size_t index) {
                m_marker = Marker::Number;
                m_markerText = QString::number(static_cast<qint64>(numbered->start) + static_cast<qint64>(index))
                             + QLatin1Char('.');
            });
        } else if (const auto* tasks = node.as<BlockNode::TaskList>()) {
            items(tasks->items, tasks->isTight, context, [&](const Markdown::RawTaskListItem& item, std::size_t) {
                m_marker = item.isCompleted ? Marker::Checked : Marker::Unchecked;
            });
        } else {
            row(&node, context);
        }
    }

    std::shared_ptr<const BlockNode> m_owner;
    std::vector<MarkdownRow> m_rows;
    MarkdownRowPlace::Marker m_marker = MarkdownRowPlace::Marker::None;
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
            images.append(
                QVariantMap{{QStringLiteral("source"), url},
                            {QStringLiteral("alt"), plainText(image->children)},
                            {QStringLiteral("light"), Markdown::isImageShown(url, Markdown::ColorScheme::Light)},
                            {QStringLiteral("dark"), Markdown::isImageShown(url, Markdown::ColorScheme::Dark)}});
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
    case Markdown::RawTableColumnAlignment::Center: return Qt::AlignHCenter;
    case Markdown::RawTableColumnAlignment::Right: return Qt::AlignRight;
    case Markdown::RawTableColumnAlignment::Left:
    case Markdown::RawTableColumnAlignment::None: break;
    }
    return Qt::AlignLeft;
}

QString markerName(MarkdownRowPlace::Marker marker)
{
    switch (marker) {
    case MarkdownRowPlace::Marker::Bullet: return QStringLiteral("bullet");
    case MarkdownRowPlace::Marker::Number: return QStringLiteral("number");
    case MarkdownRowPlace::Marker::Unchecked: return QStringLiteral("unchecked");
    case MarkdownRowPlace::Marker::Checked: return QStringLiteral("checked");
    case MarkdownRowPlace::Marker::None: break;
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
    std::vector<Markdown::RawTableColumnAlignment> alignments(
        table.columnAlignments.begin() + static_cast<std::ptrdiff_t>(firstColumn), table.columnAlignments.end());
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
    out[QStringLiteral("kind")] = MarkdownBlockModel::Table;
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
        QCoreApplication::translate(
            "MarkdownTable",
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

namespace {

// A row with every role set to a value of its type, so the views can declare them typed.
QVariantMap emptyRow(const MarkdownRowPlace& place)
{
    QVariantMap out;
    QVariantList bars;
    for (const MarkdownRowPlace::QuoteBar& bar : place.bars)
        bars.append(QVariantMap{{QStringLiteral("x"), bar.x}, {QStringLiteral("joinsAbove"), bar.joinsAbove}});
    out[QStringLiteral("indent")] = place.indent;
    out[QStringLiteral("bars")] = bars;
    out[QStringLiteral("marker")] = markerName(place.marker);
    out[QStringLiteral("markerText")] = place.markerText;
    out[QStringLiteral("spacingAbove")] = place.spacingAbove;
    out[QStringLiteral("kind")] = MarkdownBlockModel::Empty;
    for (const char* key : {"html", "language", "copyText", "text", "note", "cutText"})
        out[QString::fromLatin1(key)] = QString();
    for (const char* key : {"images", "cells"})
        out[QString::fromLatin1(key)] = QVariantList();
    out[QStringLiteral("hasText")] = false;
    for (const char* key : {"level", "columns", "textLength"})
        out[QString::fromLatin1(key)] = 0;
    out[QStringLiteral("lineCount")] = 1;
    return out;
}

void setSize(QVariantMap& out, qsizetype textLength, qsizetype lineCount)
{
    out[QStringLiteral("textLength")] = int(std::min<qsizetype>(textLength, INT_MAX));
    out[QStringLiteral("lineCount")] = int(std::clamp<qsizetype>(lineCount, 1, INT_MAX));
}

} // namespace

std::vector<QString> plainRowsOf(QStringView text)
{
    std::vector<QString> rows;
    qsizetype start = 0;
    qsizetype at = 0;
    bool hasContent = false;
    while (at < text.size()) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            break;
        const bool blank = text.sliced(at, end - at).trimmed().isEmpty();
        at = end + 1;
        if ((blank && hasContent) || at - start >= maxPlainRowLength) {
            rows.push_back(text.sliced(start, at - start).toString());
            start = at;
            hasContent = false;
        } else if (!blank) {
            hasContent = true;
        }
    }
    if (start < text.size())
        rows.push_back(text.sliced(start).toString());
    return rows;
}

QVariantMap presentPlainRow(const QString& row, const MarkdownRowStyle& style)
{
    const QString shown = TextChunks::withoutClosingLineEnd(row);
    QVariantMap out = emptyRow({});
    out[QStringLiteral("kind")] = MarkdownBlockModel::Plain;
    out[QStringLiteral("html")] = MessageFormatting::plainHtml(shown, style.textColor, style.linkColor);
    out[QStringLiteral("text")] = shown;
    out[QStringLiteral("hasText")] = true;
    setSize(out, shown.size(), shown.count(QLatin1Char('\n')) + 1);
    return out;
}

QVariantMap presentWrittenRow(const QString& chunk)
{
    const QString shown = TextChunks::withoutClosingLineEnd(chunk);
    QVariantMap out = emptyRow({});
    out[QStringLiteral("kind")] = MarkdownBlockModel::Html;
    out[QStringLiteral("text")] = shown;
    setSize(out, shown.size(), shown.count(QLatin1Char('\n')) + 1);
    return out;
}

QVariantMap presentRow(const MarkdownRow& row, const MarkdownRowStyle& style)
{
    QVariantMap out = emptyRow(row.place);
    InlineRichTextStyle inlineStyle{style.textColor, style.linkColor, style.codeBackground, style.codeFontFamily,
                                    false};
    if (!row.leaf)
        return out;
    if (const auto* paragraph = row.leaf->as<BlockNode::Paragraph>()) {
        QVariantList images;
        collectWebImages(paragraph->content, images);
        inlineStyle.leaveOutWebImages = true;
        const QString text = plainText(paragraph->content);
        out[QStringLiteral("kind")] = MarkdownBlockModel::Paragraph;
        out[QStringLiteral("html")] = inlineRichText(paragraph->content, inlineStyle);
        out[QStringLiteral("hasText")] = !text.trimmed().isEmpty() || images.isEmpty();
        out[QStringLiteral("images")] = images;
        setSize(out, text.size(), 1 + images.size() * 3);
    } else if (const auto* heading = row.leaf->as<BlockNode::Heading>()) {
        out[QStringLiteral("kind")] = MarkdownBlockModel::Heading;
        out[QStringLiteral("level")] = std::clamp(heading->level, 1, 6);
        out[QStringLiteral("html")] = inlineRichText(heading->content, inlineStyle);
        setSize(out, plainText(heading->content).size() * 3 / 2, 2);
    } else if (const auto* code = row.leaf->as<BlockNode::CodeBlock>()) {
        QString shown = QString::fromStdString(code->content);
        if (shown.endsWith(QLatin1Char('\n')))
            shown.chop(1);
        setSize(out, 0, shown.count(QLatin1Char('\n')) + 3);
        const QString language = CodeHighlighter::languageOf(QString::fromStdString(code->fenceInfo.value_or("")));
        const auto appearance = style.darkCode ? CodeHighlighter::Appearance::Dark : CodeHighlighter::Appearance::Light;
        out[QStringLiteral("kind")] = MarkdownBlockModel::Code;
        out[QStringLiteral("copyText")] = QString::fromStdString(code->content);
        out[QStringLiteral("language")] = language;
        out[QStringLiteral("html")] =
            CodeHighlighter::toHtml(shown, style.highlightCode ? language : QString(), appearance);
    } else if (const auto* table = row.leaf->as<BlockNode::Table>()) {
        setSize(out, 0, qsizetype(std::min(table->rows.size(), maxTableCells)) * 2 + 2);
        presentTable(*table, inlineStyle, out);
        out[QStringLiteral("copyText")] = QString::fromStdString(Markdown::tableCopyText(*row.leaf));
    } else if (const auto* html = row.leaf->as<BlockNode::HtmlBlock>()) {
        QString shown = QString::fromStdString(html->content);
        if (shown.endsWith(QLatin1Char('\n')))
            shown.chop(1);
        out[QStringLiteral("kind")] = MarkdownBlockModel::Html;
        out[QStringLiteral("text")] = shown;
        setSize(out, shown.size(), shown.count(QLatin1Char('\n')) + 1);
    } else if (row.leaf->as<BlockNode::ThematicBreak>()) {
        out[QStringLiteral("kind")] = MarkdownBlockModel::Rule;
    }
    return out;
}
