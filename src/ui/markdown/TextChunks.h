#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// A text too large to lay out as one item, cut into pieces of at most
// maxChunk UTF-16 units, at a line end where there is one, for a
// GradualListModel: one chunk is laid out per turn of the event loop. The
// cuts fall the same way as the text grows, so a streamed piece changes the
// last chunk (or adds one) and leaves the others laid out.
class TextChunks : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    static constexpr qsizetype maxChunk = 8 * 1024;

    using QObject::QObject;

    static QStringList chunksOf(const QString& text);
    // A chunk, or a row of text, as its item shows it: the line end that
    // closes it would add an empty line, since the next item starts one.
    static QString withoutClosingLineEnd(QString text);
    // The chunks as each item shows them (see withoutClosingLineEnd).
    Q_INVOKABLE static QVariantList shownChunks(const QString& text);
};
