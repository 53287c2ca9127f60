#include "ui/markdown/GradualListModel.h"

GradualListModel::GradualListModel(QObject* parent)
    : QAbstractListModel(parent)
{
    m_reveal.setSingleShot(true);
    m_reveal.setInterval(0);
    connect(&m_reveal, &QTimer::timeout, this, &GradualListModel::revealMore);
}

void GradualListModel::setValues(const QVariantList& values)
{
    if (values == m_values)
        return;
    const int shown = std::min(m_shown, int(values.size()));
    int first = 0;
    while (first < shown && m_values[first] == values[first])
        ++first;
    int last = shown - 1;
    while (last > first && m_values[last] == values[last])
        --last;
    m_values = values;
    if (first < shown)
        Q_EMIT dataChanged(index(first), index(last));
    if (shown < m_shown) {
        beginRemoveRows({}, shown, m_shown - 1);
        m_shown = shown;
        endRemoveRows();
    }
    if (m_shown == 0)
        revealMore(); // the start at once
    else if (!isComplete())
        m_reveal.start();
    Q_EMIT valuesChanged();
}

void GradualListModel::setBatch(int batch)
{
    batch = std::max(1, batch);
    if (batch == m_batch)
        return;
    m_batch = batch;
    Q_EMIT batchChanged();
}

void GradualListModel::revealMore()
{
    if (isComplete())
        return;
    const int end = int(std::min<qsizetype>(m_values.size(), qsizetype(m_shown) + m_batch));
    beginInsertRows({}, m_shown, end - 1);
    m_shown = end;
    endInsertRows();
    if (!isComplete())
        m_reveal.start();
}

int GradualListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_shown; }

QVariant GradualListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || role != ValueRole)
        return {};
    return m_values[index.row()];
}

QHash<int, QByteArray> GradualListModel::roleNames() const { return {{ValueRole, "value"}}; }
