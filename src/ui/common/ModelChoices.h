#pragma once

#include "openai/ModelCatalog.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The entries of every "Model" picker: the built-in models by name, then the
// account's other models by id, and a chosen id that none of them has as an
// entry of its own, marked unavailable (the picker still shows what is stored).
// As a QML singleton it serves the pickers bound to the "model" setting; the
// static functions serve forms that keep a choice of their own.
class ModelChoices : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QStringList names READ names NOTIFY namesChanged)
    Q_PROPERTY(QString selectedModel READ selectedModel WRITE setSelectedModel NOTIFY selectedModelChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectedModelChanged)
public:
    explicit ModelChoices(QObject* parent = nullptr);

    // The built-in models, then the models the stored key's account lists.
    static QList<ModelOption> accountOffer();
    // `offered`, then `chosenId` as an unavailable entry when none has it.
    static QList<ModelOption> entries(QList<ModelOption> offered, const QString& chosenId);
    static QStringList namesOf(const QList<ModelOption>& entries);
    static int indexOf(const QList<ModelOption>& entries, const QString& id);

    QStringList names() const { return namesOf(m_entries); }
    QString selectedModel() const;
    void setSelectedModel(const QString& id);
    int selectedIndex() const { return indexOf(m_entries, selectedModel()); }
    Q_INVOKABLE QString idAt(int index) const;

Q_SIGNALS:
    void namesChanged();
    void selectedModelChanged();

private:
    void update();

    QList<ModelOption> m_entries;
};
