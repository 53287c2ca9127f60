#include "ui/markdown/LazyColumn.h"

#include <algorithm>
#include <limits>

namespace {
const char* const shownProperty = "shown";

bool hasShown(const QQuickItem* row) { return row->metaObject()->indexOfProperty(shownProperty) >= 0; }
} // namespace

LazyColumn::LazyColumn(QQuickItem* parent)
    : QQuickItem(parent)
{
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
        for (const char* signal : {SIGNAL(contentYChanged()), SIGNAL(heightChanged()), SIGNAL(contentHeightChanged()),
                                   SIGNAL(originYChanged())}) {
            if (viewport->metaObject()->indexOfSignal(signal + 1) >= 0)
                connect(viewport, signal, this, SLOT(viewportMoved()));
        }
    }
    polish();
    Q_EMIT viewportChanged();
}

void LazyColumn::itemChange(ItemChange change, const ItemChangeData& data)
{
    if (change == ItemChildAddedChange) {
        // The row is named here: finding a sender among thousands of rows takes long.
        QQuickItem* row = data.item;
        connect(row, &QQuickItem::heightChanged, this, [this, row] { rowResized(row); });
        connect(row, &QQuickItem::visibleChanged, this, [this, row] { rowResized(row); });
        m_orderChanged = true;
        polish();
    } else if (change == ItemChildRemovedChange) {
        disconnect(data.item, nullptr, this, nullptr);
        m_shown.remove(data.item);
        m_indexOf.remove(data.item);
        m_orderChanged = true;
        polish();
    }
    QQuickItem::itemChange(change, data);
}

void LazyColumn::viewportMoved() { polish(); }

void LazyColumn::rowResized(const QQuickItem* row)
{
    const auto at = m_indexOf.constFind(row);
    if (!m_orderChanged && at != m_indexOf.cend())
        m_firstMoved = std::min(m_firstMoved, *at + 1);
    polish();
}

void LazyColumn::updatePolish()
{
    restack();
    tellShown();
}

void LazyColumn::restack()
{
    if (m_orderChanged) {
        // A Repeater inserts its items and then moves them into model order,
        // so the order is read here rather than as each row arrives.
        m_rows = childItems();
        m_indexOf.clear();
        m_indexOf.reserve(m_rows.size());
        for (int i = 0; i < m_rows.size(); ++i)
            m_indexOf.insert(m_rows[i], i);
        m_orderChanged = false;
        m_firstMoved = 0;
    }
    const int from = std::min<int>(m_firstMoved, int(m_rows.size()));
    qreal y = 0;
    if (from > 0) {
        const QQuickItem* above = m_rows[from - 1];
        y = above->y() + (above->isVisible() ? above->height() : 0);
    }
    for (int i = from; i < m_rows.size(); ++i) {
        QQuickItem* row = m_rows[i];
        row->setY(y);
        if (row->isVisible())
            y += row->height();
    }
    m_firstMoved = std::numeric_limits<int>::max();
    setImplicitHeight(y);
}

void LazyColumn::tellShown()
{
    qreal top = -std::numeric_limits<qreal>::infinity();
    qreal bottom = std::numeric_limits<qreal>::infinity();
    if (m_viewport) {
        const qreal reach = m_viewport->height();
        const qreal viewTop = mapFromItem(m_viewport, QPointF(0, 0)).y();
        top = viewTop - reach;
        bottom = viewTop + 2 * reach;
    }
    // Rows are stacked, so the first one reaching into the range is found by bisection.
    const auto first = std::partition_point(m_rows.cbegin(), m_rows.cend(),
                                            [top](const QQuickItem* row) { return row->y() + row->height() < top; });
    QSet<QQuickItem*> near;
    for (auto it = first; it != m_rows.cend() && (*it)->y() <= bottom; ++it) {
        if (hasShown(*it))
            near.insert(*it);
    }
    // Made rows change heights, which polishes again; the set then settles.
    const QSet<QQuickItem*> gone = m_shown - near;
    for (QQuickItem* row : gone)
        setShown(row, false);
    for (QQuickItem* row : near) {
        if (!m_shown.contains(row))
            setShown(row, true);
    }
    m_shown = std::move(near);
}

void LazyColumn::setShown(QQuickItem* row, bool shown) { row->setProperty(shownProperty, shown); }
