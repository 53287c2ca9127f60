#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// How a message's text is drawn. Plain text keeps its lines and spaces as
// typed and shows only inline Markdown (emphasis, strong, code, links): a
// heading mark or a list bullet stays the character it is. Text with a table
// row or a code fence needs the block views instead.
class MessageFormatting : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    Q_INVOKABLE static bool needsRichRendering(const QString& text);
    // Rich text for a selectable text view: everything escaped, in `textColor`, links in `linkColor`.
    Q_INVOKABLE static QString plainHtml(const QString& text, const QColor& textColor, const QColor& linkColor);
};
