#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Every copy action of the windows: the clipboard is cleared, then one plain
// string is written, so no rich or stale format of an earlier copy remains.
class Clipboard : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE static void copy(const QString& text);
};
