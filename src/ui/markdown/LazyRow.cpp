#include "ui/markdown/LazyRow.h"

#include "ui/markdown/ComponentItem.h"

#include <algorithm>
#include <cmath>

LazyRow::LazyRow(QQuickItem* parent)
    : QQuickItem(parent)
{
}

namespace {
// Sets a row's input and, when it changed, tells and updates.
template <typename T, typename Then>
void change(LazyRow* row, T& field, T value, void (LazyRow::*signal)(), Then then)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(row->*signal)();
    then();
}
} // namespace

void LazyRow::setBody(QQmlComponent* body)
{
    if (body == m_body)
        return;
    m_body = body;
    // Another kind of block: its body is remade from the new component. The
    // decoration stays, under the new body as under the old.
    drop(m_bodyItem);
    Q_EMIT bodyChanged();
    follow();
}

void LazyRow::setDecoration(QQmlComponent* decoration)
{
    if (decoration == m_decoration)
        return;
    m_decoration = decoration;
    drop(m_decorationItem);
    Q_EMIT decorationChanged();
    follow();
}

void LazyRow::setDecorated(bool decorated)
{
    change(this, m_decorated, decorated, &LazyRow::decoratedChanged, [this] { follow(); });
}
void LazyRow::setShown(bool shown)
{
    change(this, m_shown, shown, &LazyRow::shownChanged, [this] { follow(); });
}

void LazyRow::setInset(qreal inset)
{
    change(this, m_inset, inset, &LazyRow::insetChanged, [this] {
        place();
        updateSize();
    });
}

void LazyRow::setSpacingAbove(qreal spacing)
{
    change(this, m_spacingAbove, spacing, &LazyRow::spacingAboveChanged, [this] {
        place();
        updateSize();
    });
}

void LazyRow::setTextLength(int length)
{
    change(this, m_textLength, length, &LazyRow::guessChanged, [this] { updateSize(); });
}
void LazyRow::setLineCount(int count)
{
    change(this, m_lineCount, count, &LazyRow::guessChanged, [this] { updateSize(); });
}
void LazyRow::setLineHeight(qreal height)
{
    change(this, m_lineHeight, height, &LazyRow::lineHeightChanged, [this] { updateSize(); });
}
void LazyRow::setCharWidth(qreal width)
{
    change(this, m_charWidth, width, &LazyRow::guessChanged, [this] { updateSize(); });
}

void LazyRow::componentComplete()
{
    QQuickItem::componentComplete();
    updateSize();
    follow();
}

void LazyRow::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.width() == oldGeometry.width())
        return;
    // The height laid out for the old width says nothing of the new one.
    if (!m_bodyItem)
        m_laidHeight = -1;
    place();
    updateSize();
}

void LazyRow::follow()
{
    if (!isComponentComplete())
        return;
    const bool wantBody = m_shown && m_body;
    const bool wantDecoration = wantBody && m_decorated && m_decoration;
    if (!wantDecoration)
        drop(m_decorationItem);
    if (!wantBody)
        drop(m_bodyItem);
    if (wantDecoration && !m_decorationItem) {
        m_decorationItem = make(m_decoration, width());
        if (m_decorationItem && m_bodyItem)
            m_decorationItem->stackBefore(m_bodyItem);
    }
    if (wantBody && !m_bodyItem) {
        m_bodyItem = make(m_body, bodyWidth());
        if (m_bodyItem) {
            connect(m_bodyItem, &QQuickItem::implicitHeightChanged, this, &LazyRow::updateSize);
            connect(m_bodyItem, &QQuickItem::implicitWidthChanged, this, &LazyRow::updateSize);
        }
    }
    place();
    updateSize();
}

QQuickItem* LazyRow::make(QQmlComponent* component, qreal itemWidth)
{
    QQuickItem* item = beginItem(component, this);
    if (!item)
        return nullptr;
    if (item->metaObject()->indexOfProperty("row") >= 0)
        component->setInitialProperties(item, {{QStringLiteral("row"), QVariant::fromValue<QObject*>(this)}});
    item->setParent(this);
    item->setParentItem(this);
    // Before it completes, so that its text is first laid out at the width it keeps.
    item->setWidth(itemWidth);
    component->completeCreate();
    return item;
}

void LazyRow::drop(QPointer<QQuickItem>& item)
{
    if (!item)
        return;
    item->setParentItem(nullptr);
    // Later: the change that drops it may come from a binding inside it.
    item->deleteLater();
    item = nullptr;
}

void LazyRow::place()
{
    if (m_bodyItem) {
        m_bodyItem->setPosition(QPointF(m_inset, m_spacingAbove));
        m_bodyItem->setWidth(bodyWidth());
    }
    if (m_decorationItem)
        m_decorationItem->setWidth(width());
}

qreal LazyRow::bodyWidth() const { return std::max<qreal>(0, width() - m_inset); }

void LazyRow::updateSize()
{
    if (m_bodyItem) {
        m_laidHeight = m_bodyItem->implicitHeight();
        // Kept once the body goes, as its height is.
        setImplicitWidth(m_inset + m_bodyItem->implicitWidth());
    }
    if (m_laidHeight < 0) {
        const qreal wrapWidth = std::max(m_charWidth, bodyWidth());
        const qreal lines = std::max<qreal>(m_lineCount, std::ceil(m_textLength * m_charWidth / wrapWidth));
        setImplicitHeight(m_spacingAbove + m_lineHeight * lines);
    } else {
        setImplicitHeight(m_spacingAbove + m_laidHeight);
    }
}
