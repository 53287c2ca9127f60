#include "ui/markdown/MarkdownBlockModel.h"

#include "ui/common/UiLog.h"

#include "core/PoolTask.h"

#include "ui/markdown/MessageFormatting.h"
#include "ui/markdown/TextChunks.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>

#include <string_view>

namespace {

const QList<QPair<int, QByteArray>>& roles()
{
    using M = MarkdownBlockModel;
    static const QList<QPair<int, QByteArray>> list{
        {M::KindRole, "kind"},          {M::IndentRole, "indent"},         {M::BarsRole, "bars"},
        {M::MarkerRole, "marker"},      {M::MarkerTextRole, "markerText"}, {M::SpacingAboveRole, "spacingAbove"},
        {M::HtmlRole, "html"},          {M::HasTextRole, "hasText"},       {M::ImagesRole, "images"},
        {M::LevelRole, "level"},        {M::LanguageRole, "language"},     {M::CopyTextRole, "copyText"},
        {M::TextRole, "text"},          {M::ColumnsRole, "columns"},       {M::CellsRole, "cells"},
        {M::NoteRole, "note"},          {M::CutTextRole, "cutText"},       {M::TextLengthRole, "textLength"},
        {M::LineCountRole, "lineCount"}};
    return list;
}

bool sameBlock(const std::shared_ptr<const Markdown::BlockNode>& a, const std::shared_ptr<const Markdown::BlockNode>& b)
{
    return a == b || *a == *b;
}

} // namespace

MarkdownBlockModel::MarkdownBlockModel(QObject* parent)
    : QAbstractListModel(parent)
{
    m_codeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont body = QGuiApplication::font();
    if (body.pointSizeF() > 2)
        m_codeFont.setPointSizeF(body.pointSizeF() - 1);
    m_style.codeFontFamily = m_codeFont.family();
}

void MarkdownBlockModel::setTextSource(QObject* source)
{
    if (source == m_textSource)
        return;
    if (m_textSource)
        disconnect(m_textSource, nullptr, this, nullptr);
    m_textSource = source;
    if (source) {
        const int property = source->metaObject()->indexOfProperty("text");
        const QMetaProperty text = source->metaObject()->property(property);
        if (property >= 0 && text.hasNotifySignal())
            connect(source, text.notifySignal(), this,
                    metaObject()->method(metaObject()->indexOfSlot("readTextSource()")));
        else
            qCWarning(lcUi) << "a text source without a notifying text property:" << source;
        readTextSource();
    } else {
        setText(QString());
    }
    Q_EMIT textSourceChanged();
}

void MarkdownBlockModel::readTextSource()
{
    if (m_textSource)
        setText(m_textSource->property("text").toString());
}

void MarkdownBlockModel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    Q_EMIT textChanged();
    if (cutFromText()) {
        applyTextRows();
        return;
    }
    if (m_parsing)
        return; // picked up when the running parse comes back
    std::string utf8 = m_text.toStdString();
    // A text this long is parsed off the UI thread from the start: waiting for
    // two slow parses would freeze the window on a reply that arrives whole.
    // A piece added to it parses only the end again, cheap at any length.
    const bool grows = m_parsed && utf8.size() >= m_parsed->text.size()
                    && utf8.size() - m_parsed->text.size() <= maxSynchronousParseBytes
                    && std::string_view(utf8).starts_with(m_parsed->text);
    if (m_inBackground || (utf8.size() > maxSynchronousParseBytes && !grows)) {
        parseInBackground(std::move(utf8));
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const ParsedMarkdownPtr parsed = parseGrowing(m_parsed, std::move(utf8));
    noteParseTime(std::chrono::nanoseconds(timer.nsecsElapsed()));
    apply(parsed);
}

void MarkdownBlockModel::setPlain(bool plain)
{
    if (plain == m_plain)
        return;
    changeCut(m_plain, plain);
    Q_EMIT plainChanged();
}

void MarkdownBlockModel::setWritten(bool written)
{
    if (written == m_written)
        return;
    changeCut(m_written, written);
    Q_EMIT writtenChanged();
}

void MarkdownBlockModel::changeCut(bool& mode, bool on)
{
    clearRows();
    mode = on;
    if (cutFromText()) {
        applyTextRows();
    } else if (!m_parsing && !m_text.isEmpty()) {
        const QString text = std::exchange(m_text, QString());
        setText(text);
    }
}

void MarkdownBlockModel::clearRows()
{
    const int rows = count();
    if (rows > 0)
        beginRemoveRows({}, 0, rows - 1);
    m_rows.clear();
    m_rowCounts.clear();
    m_parsed.reset();
    m_textRows.clear();
    m_presented.clear();
    if (rows > 0) {
        endRemoveRows();
        Q_EMIT countChanged();
    }
}

// Rows before the last that the text still begins with are kept as they are.
void MarkdownBlockModel::applyTextRows()
{
    std::size_t kept = 0;
    qsizetype keptLength = 0;
    while (kept + 1 < m_textRows.size() && QStringView(m_text).sliced(keptLength).startsWith(m_textRows[kept]))
        keptLength += m_textRows[kept++].size();
    const QStringView rest = QStringView(m_text).sliced(keptLength);
    std::vector<QString> tail;
    if (m_written) {
        const QStringList chunks = TextChunks::chunksOf(rest.toString());
        tail.assign(chunks.cbegin(), chunks.cend());
    } else {
        tail = plainRowsOf(rest);
    }
    const auto row = [](std::size_t index) { return static_cast<int>(index); };
    const std::size_t oldCount = m_textRows.size();
    const std::size_t newCount = kept + tail.size();
    const std::size_t overlap = std::min(oldCount, newCount);
    std::size_t changedFrom = kept;
    while (changedFrom < overlap && m_textRows[changedFrom] == tail[changedFrom - kept])
        ++changedFrom;
    for (std::size_t index = changedFrom; index < overlap; ++index) {
        m_textRows[index] = std::move(tail[index - kept]);
        m_presented[index].reset();
    }
    if (changedFrom < overlap)
        Q_EMIT dataChanged(index(row(changedFrom)), index(row(overlap - 1)));
    if (newCount > oldCount) {
        beginInsertRows({}, row(oldCount), row(newCount - 1));
        for (std::size_t index = oldCount; index < newCount; ++index)
            m_textRows.push_back(std::move(tail[index - kept]));
        m_presented.resize(newCount);
        endInsertRows();
        Q_EMIT countChanged();
    } else if (newCount < oldCount) {
        beginRemoveRows({}, row(newCount), row(oldCount - 1));
        m_textRows.resize(newCount);
        m_presented.resize(newCount);
        endRemoveRows();
        Q_EMIT countChanged();
    }
}

int MarkdownBlockModel::rowOfMatch(const QString& searchText) const
{
    if (!m_plain || m_written || searchText.isEmpty())
        return -1;
    for (int row = 0; row < count(); ++row) {
        if (!MessageFormatting::searchMatch(data(index(row), TextRole).toString(), searchText).isEmpty())
            return row;
    }
    return -1;
}

void MarkdownBlockModel::noteParseTime(std::chrono::nanoseconds elapsed)
{
    // Two slow parses in a row: one alone may be a cold start.
    const bool slow = elapsed > m_synchronousLimit && (m_lastParseSlow || m_synchronousLimit.count() == 0);
    m_lastParseSlow = elapsed > m_synchronousLimit;
    if (slow != m_inBackground)
        qCDebug(lcUi) << "Markdown parse took" << elapsed.count() / 1000 << "µs; parsing" << (slow ? "off" : "on")
                      << "the UI thread from now";
    m_inBackground = slow;
}

void MarkdownBlockModel::parseInBackground(std::string text)
{
    m_parsing = true;
    auto parse = [previous = m_parsed, text = std::move(text)]() mutable {
        QElapsedTimer timer;
        timer.start();
        ParsedMarkdownPtr parsed = parseGrowing(previous, std::move(text));
        return std::pair(std::move(parsed), std::chrono::nanoseconds(timer.nsecsElapsed()));
    };
    runInPool(this, std::move(parse), [this](const std::pair<ParsedMarkdownPtr, std::chrono::nanoseconds>& done) {
        m_parsing = false;
        if (cutFromText())
            return; // the text became plain meanwhile
        noteParseTime(done.second);
        apply(done.first);
        std::string latest = m_text.toStdString();
        if (m_parsed->text != latest)
            parseInBackground(std::move(latest));
    });
}

void MarkdownBlockModel::apply(const ParsedMarkdownPtr& parsed)
{
    static const std::vector<std::shared_ptr<const Markdown::BlockNode>> none;
    const auto& oldBlocks = m_parsed ? m_parsed->blocks : none;
    const auto& newBlocks = parsed->blocks;
    const std::size_t oldCount = oldBlocks.size();
    const std::size_t newCount = newBlocks.size();

    std::size_t prefix = 0;
    while (prefix < oldCount && prefix < newCount && sameBlock(oldBlocks[prefix], newBlocks[prefix]))
        ++prefix;
    // The first block is laid out without space above, so it only matches a first block.
    std::size_t suffix = 0;
    while (suffix < oldCount - prefix && suffix < newCount - prefix
           && (oldCount - 1 - suffix == 0) == (newCount - 1 - suffix == 0)
           && sameBlock(oldBlocks[oldCount - 1 - suffix], newBlocks[newCount - 1 - suffix]))
        ++suffix;

    std::size_t firstRow = 0;
    for (std::size_t index = 0; index < prefix; ++index)
        firstRow += m_rowCounts[index];
    std::size_t oldRows = 0;
    for (std::size_t index = prefix; index < oldCount - suffix; ++index)
        oldRows += m_rowCounts[index];

    std::vector<MarkdownRow> rows;
    std::vector<std::size_t> counts;
    for (std::size_t index = prefix; index < newCount - suffix; ++index) {
        std::vector<MarkdownRow> blockRows = flattenBlock(newBlocks[index], index == 0);
        counts.push_back(blockRows.size());
        std::move(blockRows.begin(), blockRows.end(), std::back_inserter(rows));
    }
    m_rowCounts.erase(m_rowCounts.begin() + static_cast<std::ptrdiff_t>(prefix),
                      m_rowCounts.begin() + static_cast<std::ptrdiff_t>(oldCount - suffix));
    m_rowCounts.insert(m_rowCounts.begin() + static_cast<std::ptrdiff_t>(prefix), counts.begin(), counts.end());
    m_parsed = parsed;
    replaceRows(firstRow, oldRows, std::move(rows));
}

// Puts `rows` in place of `count` rows from `first`, signalling only rows that differ.
void MarkdownBlockModel::replaceRows(std::size_t first, std::size_t count, std::vector<MarkdownRow> rows)
{
    std::size_t same = 0;
    while (same < count && same < rows.size() && m_rows[first + same].sameAs(rows[same]))
        ++same;
    std::size_t sameAtEnd = 0;
    while (sameAtEnd < count - same && sameAtEnd < rows.size() - same
           && m_rows[first + count - 1 - sameAtEnd].sameAs(rows[rows.size() - 1 - sameAtEnd]))
        ++sameAtEnd;
    const std::size_t at = first + same;
    const std::size_t oldChanged = count - same - sameAtEnd;
    const std::size_t newChanged = rows.size() - same - sameAtEnd;
    const std::size_t overlap = std::min(oldChanged, newChanged);
    const auto row = [](std::size_t index) { return static_cast<int>(index); };

    for (std::size_t index = 0; index < overlap; ++index) {
        m_rows[at + index] = std::move(rows[same + index]);
        m_presented[at + index].reset();
    }
    if (overlap > 0)
        Q_EMIT dataChanged(index(row(at)), index(row(at + overlap - 1)));

    if (newChanged > overlap) {
        const std::size_t insertAt = at + overlap;
        beginInsertRows({}, row(insertAt), row(insertAt + newChanged - overlap - 1));
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(insertAt),
                      std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(same + overlap)),
                      std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(same + newChanged)));
        m_presented.insert(m_presented.begin() + static_cast<std::ptrdiff_t>(insertAt), newChanged - overlap,
                           std::nullopt);
        endInsertRows();
        Q_EMIT countChanged();
    } else if (oldChanged > overlap) {
        const std::size_t removeAt = at + overlap;
        const auto begin = static_cast<std::ptrdiff_t>(removeAt);
        const auto end = static_cast<std::ptrdiff_t>(removeAt + oldChanged - overlap);
        beginRemoveRows({}, row(removeAt), row(removeAt + oldChanged - overlap - 1));
        m_rows.erase(m_rows.begin() + begin, m_rows.begin() + end);
        m_presented.erase(m_presented.begin() + begin, m_presented.begin() + end);
        endRemoveRows();
        Q_EMIT countChanged();
    }
}

std::vector<Markdown::BlockNode> MarkdownBlockModel::blocks() const
{
    std::vector<Markdown::BlockNode> copies;
    if (m_parsed) {
        for (const auto& block : m_parsed->blocks)
            copies.push_back(*block);
    }
    return copies;
}

template <typename Value>
void MarkdownBlockModel::changeStyle(Value MarkdownRowStyle::*field, const Value& value)
{
    if (m_style.*field == value)
        return;
    m_style.*field = value;
    for (std::optional<QVariantMap>& presented : m_presented)
        presented.reset();
    if (count() > 0)
        Q_EMIT dataChanged(index(0), index(count() - 1));
    Q_EMIT styleChanged();
}

void MarkdownBlockModel::setTextColor(const QColor& color) { changeStyle(&MarkdownRowStyle::textColor, color); }
void MarkdownBlockModel::setLinkColor(const QColor& color) { changeStyle(&MarkdownRowStyle::linkColor, color); }
void MarkdownBlockModel::setCodeBackground(const QColor& color)
{
    changeStyle(&MarkdownRowStyle::codeBackground, color);
}
void MarkdownBlockModel::setDarkCode(bool dark) { changeStyle(&MarkdownRowStyle::darkCode, dark); }
void MarkdownBlockModel::setHighlightCode(bool highlight) { changeStyle(&MarkdownRowStyle::highlightCode, highlight); }

int MarkdownBlockModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

QVariant MarkdownBlockModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    std::optional<QVariantMap>& presented = m_presented[row];
    if (!presented) {
        presented = m_written ? presentWrittenRow(m_textRows[row])
                  : m_plain   ? presentPlainRow(m_textRows[row], m_style)
                              : presentRow(m_rows[row], m_style);
    }
    for (const auto& [known, name] : roles()) {
        if (known == role)
            return presented->value(QString::fromLatin1(name));
    }
    return {};
}

QHash<int, QByteArray> MarkdownBlockModel::roleNames() const
{
    QHash<int, QByteArray> names;
    for (const auto& [role, name] : roles())
        names.insert(role, name);
    return names;
}
