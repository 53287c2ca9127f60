#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The web pages the windows link to, from the one list of outside addresses.
class WebPages : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QUrl faq READ faq CONSTANT)
    Q_PROPERTY(QUrl openAiSignUp READ openAiSignUp CONSTANT)
public:
    using QObject::QObject;
    static QUrl faq();
    static QUrl openAiSignUp();
};
