#pragma once

#include <QList>
#include <QPointer>
#include <QQuickItem>
#include <QSet>
#include <QtQml/qqmlregistration.h>

// The rows of a long message, stacked top to bottom like a Column, telling each
// row through its `shown` property whether it is near the viewport: within a
// viewport's height above or below it. Rows not near it are hidden, but keep
// their room. Without a viewport every row is shown. The column's
// implicitHeight is its rows'; its height stays 0.
//
// A frame costs the same however many rows there are: a row whose height
// changes restacks only the rows below it (while a reply streams, none), and
// the rows near the viewport are found by bisection and told only when their
// state changes. A Column places every row on every change, and rows that
// watched the viewport themselves would each run on every step of a scroll.
class LazyColumn : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    // The Flickable the column scrolls in: an item with contentY.
    Q_PROPERTY(QQuickItem* viewport READ viewport WRITE setViewport NOTIFY viewportChanged)
public:
    explicit LazyColumn(QQuickItem* parent = nullptr);

    QQuickItem* viewport() const { return m_viewport; }
    void setViewport(QQuickItem* viewport);
    // For a column moved within its viewport by something it cannot see, such
    // as a list placing the item that holds it.
    Q_INVOKABLE void placeShown();

Q_SIGNALS:
    void viewportChanged();

protected:
    void componentComplete() override;
    void itemChange(ItemChange change, const ItemChangeData& data) override;
    void updatePolish() override;

private Q_SLOTS:
    void viewportMoved();

private:
    void rowResized(QQuickItem* row);
    void readOrder();
    void restack();
    void tellShown();

    QPointer<QQuickItem> m_viewport;
    QList<QQuickItem*> m_rows;  // in stacking order, as of the last time it was read
    bool m_orderChanged = true; // rows came or went since
    qsizetype m_firstMoved = 0; // rows from here on are restacked at the next polish
    QSet<QQuickItem*> m_shown;  // the rows told they are shown
    qreal m_placedAt = qQNaN(); // the viewport's top when the shown rows were last found
    bool m_polished = false;
};
