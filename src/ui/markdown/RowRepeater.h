#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QQmlComponent>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

#include <utility>

// Makes an item for each row of a MarkdownBlockModel, in its parent item, in
// model order: a plain row from `plainDelegate`, any other from `delegate`.
// Each role the item has a property for is set on it, and `index` too.
//
// Unlike a Repeater, a changed row costs the same however many rows there are:
// only its own item is told, and only of the roles that differ. A Repeater's
// model visits every item it made on each change and each row added, which
// for the thousands of rows of a long reply is most of the cost of a piece.
class RowRepeater : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractItemModel* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QQmlComponent* delegate READ delegate WRITE setDelegate NOTIFY delegateChanged)
    Q_PROPERTY(QQmlComponent* plainDelegate READ plainDelegate WRITE setPlainDelegate NOTIFY delegateChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    explicit RowRepeater(QQuickItem* parent = nullptr);

    QAbstractItemModel* model() const { return m_model; }
    void setModel(QAbstractItemModel* model);
    QQmlComponent* delegate() const { return m_delegate; }
    void setDelegate(QQmlComponent* delegate);
    QQmlComponent* plainDelegate() const { return m_plainDelegate; }
    void setPlainDelegate(QQmlComponent* delegate);
    int count() const { return static_cast<int>(m_rows.size()); }
    Q_INVOKABLE QQuickItem* itemAt(int row) const;

Q_SIGNALS:
    void modelChanged();
    void delegateChanged();
    void countChanged();

protected:
    void componentComplete() override;
    void itemChange(ItemChange change, const ItemChangeData& data) override;

private:
    using RoleProperties = QList<std::pair<int, QByteArray>>;

    void replaceDelegate(QPointer<QQmlComponent>& slot, QQmlComponent* delegate);
    void remake();
    void insertRows(int first, int last);
    void removeRows(int first, int last);
    void changeRows(int first, int last, const QList<int>& roles);
    QQmlComponent* delegateFor(int row) const;
    struct Row {
        QQuickItem* item = nullptr;
        QQmlComponent* madeBy = nullptr;
    };
    Row make(int row);
    void drop(const Row& row);
    const RoleProperties& propertiesOf(QQmlComponent* delegate, const QObject* item);
    void renumberFrom(int row);

    QPointer<QAbstractItemModel> m_model;
    QPointer<QQmlComponent> m_delegate;
    QPointer<QQmlComponent> m_plainDelegate;
    QList<Row> m_rows;
    int m_kindRole = -1;
    // The roles a delegate has properties for, found from its first item.
    QHash<QQmlComponent*, RoleProperties> m_properties;
};
