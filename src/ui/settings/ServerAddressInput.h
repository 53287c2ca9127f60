#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// What a "Server address" field accepts and says about the address typed:
// only http and https addresses are stored, and a plain-http one to another
// machine is stored with a note that the key travels unencrypted.
class ServerAddressInput : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString defaultAddress READ defaultAddress CONSTANT)
public:
    explicit ServerAddressInput(QObject* parent = nullptr);

    static QString defaultAddress();
    static bool isAcceptable(const QString& text);
    // What the address rule says to an address it does not accept.
    static QString unusableAddressText();
    // Stores an acceptable address as "openAiBaseUrl" (nothing typed removes
    // the key: OpenAI's server); false, storing nothing, for any other text.
    static bool storeAddress(const QString& text);

    Q_INVOKABLE bool accepts(const QString& text) const { return isAcceptable(text); }
    Q_INVOKABLE bool store(const QString& text) { return storeAddress(text); }
    // Why the address cannot be used, or that it is not encrypted; empty otherwise.
    Q_INVOKABLE QString note(const QString& text) const;
};
