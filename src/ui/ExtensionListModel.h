#pragma once

#include "extensions/CustomExtension.h"

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// The extensions tab: one row per registry extension, in registry order. A
// row reads "Enabled" or "Disabled" from the stored flag, or the extension's
// default while the user never set one; whether the extension may be enabled
// at all (its credentials) is not asked here, so a row can read "Enabled"
// while its functions are not offered to the model.
class ExtensionListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The settings window gives its extensions tab the list")
    // Changes with every stored flag, for bindings on extensionAt().
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        DescriptionRole,
        EnabledRole,
        StateTextRole,
        NeedsConfirmationRole,
        PanelRole,
    };

    explicit ExtensionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int revision() const { return m_revision; }

    // Every role of the row by its role name; an empty map outside the list.
    Q_INVOKABLE QVariantMap extensionAt(int row) const;
    Q_INVOKABLE void setEnabled(int row, bool enabled);

Q_SIGNALS:
    void revisionChanged();

private:
    bool isEnabled(const CustomExtension& extension) const;

    QList<CustomExtension> m_extensions;
    int m_revision = 0;
};
