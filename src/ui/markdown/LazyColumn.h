#pragma once

#include <QHash>
#include <QPointer>
#include <QQuickItem>
#include <QSet>
#include <QtQml/qqmlregistration.h>

// The rows of a long message, stacked top to bottom like a Column, telling each
// row through its `shown` property whether it is near the viewport: within a
// viewport's height above or below it. Rows without a viewport are all shown.
//
// A frame costs the same however many rows there are: a row whose height
// changes restacks only the rows below it (while a reply streams, none), and
// the rows near the viewport are found by bisection and told only when their
// state changes. A Column would place every row, and rows that watched the
// viewport themselves would each run on every step of a scroll.
class LazyColumn : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    // The Flickable this column scrolls in: an item with contentY.
    Q_PROPERTY(QQuickItem* viewport READ viewport WRITE setViewport NOTIFY viewportChanged)
public:
    explicit LazyColumn(QQuickItem* parent = nullptr);

    QQuickItem* viewport() const { return m_viewport; }
    void setViewport(QQuickItem* viewport);

Q_SIGNALS:
    void viewportChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData& data) override;
    void updatePolish() override;

private Q_SLOTS:
    void viewportMoved();

private:
    void rowResized(const QQuickItem* row);
    void restack();
    void tellShown();
    void setShown(QQuickItem* row, bool shown);

    QPointer<QQuickItem> m_viewport;
    QList<QQuickItem*> m_rows;               // in stacking order, as of the last polish
    QHash<const QQuickItem*, int> m_indexOf; // into m_rows
    bool m_orderChanged = true;
    int m_firstMoved = 0; // rows from here on are restacked at the next polish
    QSet<QQuickItem*> m_shown;
};
