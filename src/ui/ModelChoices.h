#pragma once

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The entries of every "Model" picker: names shown, ids stored, in table
// order. `selectedModel` is the "model" setting itself, for the pickers that
// change it at once; forms that store only later use indexOfId and idAt.
class ModelChoices : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QStringList names READ names CONSTANT)
    Q_PROPERTY(QString selectedModel READ selectedModel WRITE setSelectedModel NOTIFY selectedModelChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectedModelChanged)
public:
    explicit ModelChoices(QObject* parent = nullptr);

    QStringList names() const;
    QString selectedModel() const;
    void setSelectedModel(const QString& id);
    // -1 for a stored id outside the table: the picker then selects nothing.
    int selectedIndex() const { return indexOfId(selectedModel()); }

    Q_INVOKABLE int indexOfId(const QString& id) const;
    Q_INVOKABLE QString idAt(int index) const;

Q_SIGNALS:
    void selectedModelChanged();
};
