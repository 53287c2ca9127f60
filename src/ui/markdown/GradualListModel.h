#pragma once

#include <QAbstractListModel>
#include <QTimer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// A list for a Repeater whose items are costly to make (table cells, long
// text): the views get the first `batch` values at once and `batch` more per
// turn of the event loop, so a long list never holds the window up until all
// of it is made. New values replace only the rows that differ, so a table or
// text that grows while a reply streams keeps the items it had.
class GradualListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList values READ values WRITE setValues NOTIFY valuesChanged)
    Q_PROPERTY(int batch READ batch WRITE setBatch NOTIFY batchChanged)
public:
    enum Role { ValueRole = Qt::UserRole + 1 };

    explicit GradualListModel(QObject* parent = nullptr);

    QVariantList values() const { return m_values; }
    void setValues(const QVariantList& values);
    int batch() const { return m_batch; }
    void setBatch(int batch);
    // Whether the views have every value.
    bool isComplete() const { return m_shown == m_values.size(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void valuesChanged();
    void batchChanged();

private:
    void revealMore();

    QVariantList m_values;
    int m_shown = 0; // the rows the views see: the first values
    int m_batch = 256;
    QTimer m_reveal;
};
