#include "ui/markdown/LazyColumn.h"

#include "ui/markdown/LazyRow.h"

#include <QCursor>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The repeater that makes the rows sits among them, and is no row.
bool isRow(QQuickItem* item) { return qobject_cast<LazyRow*>(item) != nullptr; }
// A row out of view is hidden too, which takes it out of the scene graph: a
// frame then walks only the rows near the viewport.
void setShown(QQuickItem* row, bool shown)
{
    static_cast<LazyRow*>(row)->setShown(shown);
    row->setVisible(shown);
}

qreal bottomOf(const QQuickItem* row) { return row->y() + row->height(); }
} // namespace

LazyColumn::LazyColumn(QQuickItem* parent)
    : QQuickItem(parent)
{
    // The rows' height is the implicit one only. Once a child is added, Qt
    // visits every child of an item whose size changes, and a reply adds a
    // row on most pieces: a column that keeps its own height is not visited.
    setHeight(0);
    // When a row's text goes, Qt asks each sibling in turn whether it still
    // wants hover events or a cursor, to know whether the column does: a
    // first child that always does answers at once, however many rows there are.
    auto* first = new QQuickItem(this);
    first->setAcceptHoverEvents(true);
    first->setCursor(Qt::ArrowCursor);
}

void LazyColumn::setViewport(QQuickItem* viewport)
{
    if (viewport == m_viewport)
        return;
    if (m_viewport)
        disconnect(m_viewport, nullptr, this, nullptr);
    m_viewport = viewport;
    if (viewport) {
        // Whatever moves this column within the viewport, or the viewport over it.
        for (const char* signal :
             {SIGNAL(contentYChanged()), SIGNAL(contentHeightChanged()), SIGNAL(originYChanged())}) {
            if (viewport->metaObject()->indexOfSignal(signal + 1) >= 0)
                connect(viewport, signal, this, SLOT(viewportMoved()));
        }
        // A taller viewport reaches rows the last look did not.
        connect(viewport, &QQuickItem::heightChanged, this, &LazyColumn::placeShown);
    }
    placeShown();
    Q_EMIT viewportChanged();
}

void LazyColumn::placeShown()
{
    m_placedAt = qQNaN();
    polish();
}

void LazyColumn::viewportMoved()
{
    // The rows near the viewport reach a viewport's height beyond it, so they
    // are looked for again only once it has moved a quarter of its height.
    if (!m_viewport)
        return;
    const qreal top = mapFromItem(m_viewport, QPointF(0, 0)).y();
    if (std::isnan(m_placedAt) || std::abs(top - m_placedAt) >= m_viewport->height() / 4)
        polish();
}

void LazyColumn::componentComplete()
{
    QQuickItem::componentComplete();
    restack();
}

void LazyColumn::itemChange(ItemChange change, const ItemChangeData& data)
{
    if (change == ItemChildAddedChange) {
        QQuickItem* row = data.item;
        // The row is named here: finding a sender among thousands of rows takes long.
        connect(row, &QQuickItem::heightChanged, this, [this, row] { rowResized(row); });
        if (isRow(row)) {
            setShown(row, !m_viewport);
            if (!m_viewport)
                m_shown.insert(row);
        }
        // Its place among the rows is read later: a repeater moves the rows it
        // adds into model order right after adding them.
        m_orderChanged = true;
        polish();
    } else if (change == ItemChildRemovedChange) {
        disconnect(data.item, nullptr, this, nullptr);
        m_shown.remove(data.item);
        m_orderChanged = true;
        polish();
    }
    QQuickItem::itemChange(change, data);
}

void LazyColumn::rowResized(QQuickItem* row)
{
    readOrder();
    // The rows placed are in order of their tops (rows of no height share one);
    // a row among those after them is placed with them anyway.
    const auto placed = m_rows.cbegin() + std::min(m_firstMoved, m_rows.size());
    auto at = std::lower_bound(m_rows.cbegin(), placed, row->y(),
                               [](const QQuickItem* other, qreal y) { return other->y() < y; });
    while (at != placed && *at != row && (*at)->y() == row->y())
        ++at;
    if (at != placed && *at == row)
        m_firstMoved = std::min(m_firstMoved, at - m_rows.cbegin() + 1);
    // Until its first polish the column stacks its rows as they come, as a
    // Column does: a list that lays out its delegates at one height and finds
    // them another later makes new ones without end.
    if (m_polished)
        polish();
    else
        restack();
}

void LazyColumn::readOrder()
{
    if (!m_orderChanged)
        return;
    // Rows kept in front keep their places.
    const QList<QQuickItem*> rows = childItems();
    qsizetype same = 0;
    while (same < rows.size() && same < m_rows.size() && rows[same] == m_rows[same])
        ++same;
    m_rows = rows;
    m_orderChanged = false;
    m_firstMoved = std::min(m_firstMoved, same);
}

void LazyColumn::updatePolish()
{
    m_polished = true;
    restack();
    tellShown();
}

void LazyColumn::restack()
{
    readOrder();
    const qsizetype from = std::min(m_firstMoved, m_rows.size());
    qreal y = from > 0 ? bottomOf(m_rows[from - 1]) : 0;
    for (qsizetype i = from; i < m_rows.size(); ++i) {
        QQuickItem* row = m_rows[i];
        row->setY(y);
        y += row->height(); // hidden or not: it is hidden only while out of view
    }
    m_firstMoved = std::numeric_limits<qsizetype>::max();
    setImplicitHeight(y);
}

void LazyColumn::tellShown()
{
    if (!m_viewport) {
        for (QQuickItem* row : std::as_const(m_rows)) {
            if (!m_shown.contains(row) && isRow(row)) {
                setShown(row, true);
                m_shown.insert(row);
            }
        }
        return;
    }
    const qreal reach = m_viewport->height();
    m_placedAt = mapFromItem(m_viewport, QPointF(0, 0)).y();
    const qreal top = m_placedAt - reach;
    const qreal bottom = m_placedAt + 2 * reach;
    auto row = std::partition_point(m_rows.cbegin(), m_rows.cend(),
                                    [top](const QQuickItem* above) { return bottomOf(above) < top; });
    QSet<QQuickItem*> near;
    for (; row != m_rows.cend() && (*row)->y() <= bottom; ++row) {
        if (isRow(*row))
            near.insert(*row);
    }
    // Rows made change their heights, which polishes again; the set then settles.
    for (QQuickItem* gone : m_shown - near)
        setShown(gone, false);
    for (QQuickItem* come : near - m_shown)
        setShown(come, true);
    m_shown = std::move(near);
}
