#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The settings store for QML. Bindings that read a key through text() or
// flag() name `revision` too, so every write (from any window, or from the
// store itself) re-evaluates them at once.
class StoredSettings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)
    // No system keyring was found (or VORBEL_SECRET_STORE=file): keys stay in the private file.
    Q_PROPERTY(bool keysInPrivateFile READ keysInPrivateFile NOTIFY keysInPrivateFileChanged)
public:
    explicit StoredSettings(QObject* parent = nullptr);

    int revision() const { return m_revision; }
    bool keysInPrivateFile() const;

    // The stored text, or the key's default when absent.
    Q_INVOKABLE QString text(const QString& key) const;
    Q_INVOKABLE void setText(const QString& key, const QString& value);
    Q_INVOKABLE bool flag(const QString& key, bool fallback) const;
    Q_INVOKABLE void setFlag(const QString& key, bool value);

Q_SIGNALS:
    void revisionChanged();
    void keysInPrivateFileChanged();

private:
    int m_revision = 0;
};
