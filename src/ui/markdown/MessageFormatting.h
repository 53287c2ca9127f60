#pragma once

#include <QColor>
#include <QObject>
#include <QQuickTextDocument>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// How a message's text is drawn. Plain text keeps its lines and spaces as
// typed and shows only inline Markdown (emphasis, strong, code, links): a
// heading mark or a list bullet stays the character it is. Text with a table
// row or a code fence needs the block views instead. A reply is untrusted, so
// one too large to format at all is shown as escaped text, in pieces.
class MessageFormatting : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    // How a text is drawn: inline Markdown in plain rows, Markdown blocks, or as written in pieces.
    enum class Rendering { Plain, Rich, Oversized };
    Q_ENUM(Rendering)

    static constexpr qsizetype maxFormattedBytes = 256 * 1024;
    static constexpr qsizetype maxFormattedLineBytes = 64 * 1024;
    // Longer lines of plain text show without inline Markdown: no parse this big runs on the UI thread.
    static constexpr qsizetype maxInlineLineBytes = 32 * 1024;
    static constexpr qsizetype lineCacheBytes = 8 * 1024 * 1024;

    static bool needsRichRendering(const QString& text);
    // Over maxFormattedBytes of UTF-8, or with a line over maxFormattedLineBytes.
    static bool isOversized(const QString& text);
    Q_INVOKABLE static Rendering renderingOf(const QString& text);
    // Rich text for a selectable text view: everything escaped, in `textColor`, links in `linkColor`.
    Q_INVOKABLE static QString plainHtml(const QString& text, const QColor& textColor, const QColor& linkColor);
    // Start and length of the first match of a search in shown text; empty when none.
    Q_INVOKABLE static QList<int> searchMatch(const QString& shownText, const QString& searchText);
    // What rich text of the block views reads as, for a screen reader.
    Q_INVOKABLE static QString plainTextOf(const QString& html);
    // The links of a text view's document in reading order, as [{start, end, href}].
    Q_INVOKABLE static QVariantList linkRanges(QQuickTextDocument* document);

    // What the formatted lines kept for the next call take, in bytes of key and value.
    static qsizetype cachedLineBytes();
};

// The UTF-8 length of `text`, without converting it.
qsizetype utf8Length(QStringView text);
