#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

// Opens a link from a message in the user's browser or mail program. A reply
// is written by a model, so only web and mail addresses are opened: a file:
// or javascript: link, or any other handler, is refused.
class ExternalLinks : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    static bool isOpenable(const QUrl& url);
    // What open() hands on for `address`: none for a refused address; a mail
    // address keeps only its subject and body, never copies, recipients or
    // attachments the writer of the link added.
    static std::optional<QUrl> openableUrl(const QString& address);
    // False, and nothing opened, for a refused address.
    Q_INVOKABLE bool open(const QString& address);
};
