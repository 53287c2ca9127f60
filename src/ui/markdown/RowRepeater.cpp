#include "ui/markdown/RowRepeater.h"

#include "ui/markdown/ComponentItem.h"
#include "ui/markdown/MarkdownBlockModel.h"

RowRepeater::RowRepeater(QQuickItem* parent)
    : QQuickItem(parent)
{
}

void RowRepeater::setModel(QAbstractItemModel* model)
{
    if (model == m_model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { insertRows(first, last); });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) { removeRows(first, last); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                    changeRows(topLeft.row(), bottomRight.row(), roles);
                });
        connect(model, &QAbstractItemModel::modelReset, this, &RowRepeater::remake);
        connect(model, &QAbstractItemModel::layoutChanged, this, &RowRepeater::remake);
        connect(model, &QAbstractItemModel::rowsMoved, this, &RowRepeater::remake);
    }
    remake();
    Q_EMIT modelChanged();
}

void RowRepeater::setDelegate(QQmlComponent* delegate) { replaceDelegate(m_delegate, delegate); }
void RowRepeater::setPlainDelegate(QQmlComponent* delegate) { replaceDelegate(m_plainDelegate, delegate); }

void RowRepeater::replaceDelegate(QPointer<QQmlComponent>& slot, QQmlComponent* delegate)
{
    if (delegate == slot)
        return;
    // Found again: a new component may take a gone one's address, with other properties.
    m_properties.clear();
    slot = delegate;
    remake();
    Q_EMIT delegateChanged();
}

QQuickItem* RowRepeater::itemAt(int row) const { return row >= 0 && row < m_rows.size() ? m_rows[row].item : nullptr; }

void RowRepeater::componentComplete()
{
    QQuickItem::componentComplete();
    remake();
}

void RowRepeater::itemChange(ItemChange change, const ItemChangeData& data)
{
    if (change == ItemParentHasChanged)
        remake();
    QQuickItem::itemChange(change, data);
}

void RowRepeater::remake()
{
    const int before = count();
    for (const Row& row : std::as_const(m_rows))
        drop(row);
    m_rows.clear();
    m_kindRole = -1;
    if (m_model && isComponentComplete() && parentItem()) {
        m_kindRole = m_model->roleNames().key("kind", -1);
        insertRows(0, m_model->rowCount() - 1);
    } else if (before > 0) {
        Q_EMIT countChanged();
    }
}

void RowRepeater::insertRows(int first, int last)
{
    if (!isComponentComplete() || !parentItem() || first > last)
        return;
    for (int row = first; row <= last; ++row) {
        const Row made = make(row);
        m_rows.insert(row, made);
    }
    renumberFrom(last + 1);
    Q_EMIT countChanged();
}

void RowRepeater::removeRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first > last)
        return;
    for (int row = first; row <= last; ++row)
        drop(m_rows[row]);
    m_rows.remove(first, last - first + 1);
    renumberFrom(first);
    Q_EMIT countChanged();
}

void RowRepeater::changeRows(int first, int last, const QList<int>& roles)
{
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    for (int row = first; row <= last; ++row) {
        Row& made = m_rows[row];
        // A row that now takes the other delegate is made again, in front of
        // its old item so that it takes its place.
        if (delegateFor(row) != made.madeBy) {
            const Row old = made;
            made = make(row);
            drop(old);
            continue;
        }
        if (!made.item)
            continue;
        const QModelIndex index = m_model->index(row, 0);
        for (const auto& [role, name] : propertiesOf(made.madeBy, made.item)) {
            if (!roles.isEmpty() && !roles.contains(role))
                continue;
            const QVariant value = m_model->data(index, role);
            if (made.item->property(name) != value)
                made.item->setProperty(name, value);
        }
    }
}

QQmlComponent* RowRepeater::delegateFor(int row) const
{
    const bool plain = m_kindRole >= 0 && m_model
                    && m_model->data(m_model->index(row, 0), m_kindRole).toInt() == MarkdownBlockModel::Plain;
    return plain && m_plainDelegate ? m_plainDelegate.data() : m_delegate.data();
}

RowRepeater::Row RowRepeater::make(int row)
{
    QQmlComponent* delegate = delegateFor(row);
    if (!delegate)
        return {};
    QQuickItem* item = beginItem(delegate, this);
    if (!item)
        return {};
    const QModelIndex index = m_model->index(row, 0);
    QVariantMap properties;
    if (item->metaObject()->indexOfProperty("index") >= 0)
        properties.insert(QStringLiteral("index"), row);
    for (const auto& [role, name] : propertiesOf(delegate, item))
        properties.insert(QString::fromLatin1(name), m_model->data(index, role));
    delegate->setInitialProperties(item, properties);
    item->setParent(this);
    item->setParentItem(parentItem());
    // Into model order among the rows before it completes: its first height
    // restacks the rows in the order they then have. One added at the end is last already.
    if (row < count() && m_rows[row].item)
        item->stackBefore(m_rows[row].item);
    delegate->completeCreate();
    return {item, delegate};
}

void RowRepeater::drop(const Row& row)
{
    if (!row.item)
        return;
    row.item->setParentItem(nullptr);
    // Later: the change that drops a row may come from a binding inside it.
    row.item->deleteLater();
}

const RowRepeater::RoleProperties& RowRepeater::propertiesOf(QQmlComponent* delegate, const QObject* item)
{
    auto found = m_properties.find(delegate);
    if (found == m_properties.end()) {
        RoleProperties properties;
        const QHash<int, QByteArray> names = m_model->roleNames();
        for (auto name = names.cbegin(); name != names.cend(); ++name) {
            if (item->metaObject()->indexOfProperty(name.value().constData()) >= 0)
                properties.append({name.key(), name.value()});
        }
        found = m_properties.insert(delegate, properties);
    }
    return found.value();
}

void RowRepeater::renumberFrom(int row)
{
    for (; row < count(); ++row) {
        QQuickItem* item = m_rows[row].item;
        if (item && item->property("index").toInt() != row)
            item->setProperty("index", row);
    }
}
