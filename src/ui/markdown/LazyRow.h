#pragma once

#include <QPointer>
#include <QQmlComponent>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// A row of a MarkdownMessage that makes its body only while it is near the
// viewport (see LazyColumn). Out of it the row keeps the height it had, or a
// guess from its text until it is first shown, so a long message costs
// nothing per frame for its far rows.
//
// The body is placed `inset` from the left and `spacingAbove` from the top,
// `inset` narrower than the row; a body with a `row` property is given this
// row, so one component can serve every row of a message. A decorated row
// also makes its `decoration`, as wide as the row, behind the body.
//
// In C++ rather than a Loader: a long reply makes a row on most pieces, and
// each QML object a row holds is part of that piece's cost.
class LazyRow : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQmlComponent* body READ body WRITE setBody NOTIFY bodyChanged)
    Q_PROPERTY(QQmlComponent* decoration READ decoration WRITE setDecoration NOTIFY decorationChanged)
    Q_PROPERTY(bool decorated READ isDecorated WRITE setDecorated NOTIFY decoratedChanged)
    // Set by the LazyColumn the row is in, while the row is near the viewport.
    Q_PROPERTY(bool shown READ isShown WRITE setShown NOTIFY shownChanged)
    Q_PROPERTY(qreal inset READ inset WRITE setInset NOTIFY insetChanged)
    Q_PROPERTY(qreal spacingAbove READ spacingAbove WRITE setSpacingAbove NOTIFY spacingAboveChanged)
    // For the guess: the row's characters and lines, and the size of a character.
    Q_PROPERTY(int textLength READ textLength WRITE setTextLength NOTIFY guessChanged)
    Q_PROPERTY(int lineCount READ lineCount WRITE setLineCount NOTIFY guessChanged)
    Q_PROPERTY(qreal lineHeight READ lineHeight WRITE setLineHeight NOTIFY lineHeightChanged)
    Q_PROPERTY(qreal charWidth READ charWidth WRITE setCharWidth NOTIFY guessChanged)
public:
    explicit LazyRow(QQuickItem* parent = nullptr);

    QQmlComponent* body() const { return m_body; }
    void setBody(QQmlComponent* body);
    QQmlComponent* decoration() const { return m_decoration; }
    void setDecoration(QQmlComponent* decoration);
    bool isDecorated() const { return m_decorated; }
    void setDecorated(bool decorated);
    bool isShown() const { return m_shown; }
    void setShown(bool shown);
    qreal inset() const { return m_inset; }
    void setInset(qreal inset);
    qreal spacingAbove() const { return m_spacingAbove; }
    void setSpacingAbove(qreal spacing);
    int textLength() const { return m_textLength; }
    void setTextLength(int length);
    int lineCount() const { return m_lineCount; }
    void setLineCount(int count);
    qreal lineHeight() const { return m_lineHeight; }
    void setLineHeight(qreal height);
    qreal charWidth() const { return m_charWidth; }
    void setCharWidth(qreal width);

Q_SIGNALS:
    void bodyChanged();
    void decorationChanged();
    void decoratedChanged();
    void shownChanged();
    void insetChanged();
    void spacingAboveChanged();
    void guessChanged();
    void lineHeightChanged();

protected:
    void componentComplete() override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    QQuickItem* make(QQmlComponent* component, qreal itemWidth);
    static void drop(QPointer<QQuickItem>& item);
    // Makes or drops the body and the decoration as the row's state asks.
    void follow();
    void place();
    qreal bodyWidth() const;
    void updateSize();

    QPointer<QQmlComponent> m_body;
    QPointer<QQmlComponent> m_decoration;
    QPointer<QQuickItem> m_bodyItem;
    QPointer<QQuickItem> m_decorationItem;
    bool m_decorated = false;
    bool m_shown = false;
    qreal m_inset = 0;
    qreal m_spacingAbove = 0;
    int m_textLength = 0;
    int m_lineCount = 1;
    qreal m_lineHeight = 16;
    qreal m_charWidth = 7;
    // The body's height, kept while the row is out of view; a new width
    // makes the row's height a guess again.
    qreal m_laidHeight = -1;
};
