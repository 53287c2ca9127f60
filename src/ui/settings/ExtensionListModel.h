#pragma once

#include "extensions/CustomExtension.h"

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class ToolServerClient;

// The extensions tab: one row per built-in extension, in registry order, then
// one per tool server of mcp.json. A built-in row reads "Enabled" or
// "Disabled" from the stored flag, or the extension's default while the user
// never set one; whether the extension may be enabled at all (its
// credentials) is not asked here, so a row can read "Enabled" while its
// functions are not offered to the model. A tool server's row reads its flag
// in mcp.json and shows its status, tools and log.
class ExtensionListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The settings window gives its extensions tab the list")
    // Changes with every stored flag, for bindings on extensionAt().
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)
    // Why mcp.json cannot be used, with the place of the fault; empty when it can.
    Q_PROPERTY(QString toolServerFileError READ toolServerFileError NOTIFY revisionChanged)
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        DescriptionRole,
        EnabledRole,
        StateTextRole,
        NeedsConfirmationRole,
        PanelRole,
        IsToolServerRole,
        AskBeforeCallRole,
        StatusRole,
        ToolsRole,
        LogRole,
        FailedRole,
    };

    explicit ExtensionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int revision() const { return m_revision; }
    QString toolServerFileError() const;

    // Every role of the row by its role name; an empty map outside the list.
    Q_INVOKABLE QVariantMap extensionAt(int row) const;
    Q_INVOKABLE void setEnabled(int row, bool enabled);

    // Tool server rows; each edit returns why it was refused, or empty text.
    Q_INVOKABLE QString setAskBeforeCall(int row, bool ask);
    Q_INVOKABLE void reconnect(int row);
    Q_INVOKABLE QString remove(int row);
    // A name and either a command line (split as a shell would) or an address.
    Q_INVOKABLE QString addToolServer(const QString& name, const QString& commandLine, const QString& address);
    Q_INVOKABLE QString pasteConfiguration(const QString& text);

Q_SIGNALS:
    void revisionChanged();

private:
    bool isEnabled(const CustomExtension& extension) const;
    ToolServerClient* toolServerAt(int row) const;
    void toolServersChanged();
    void bumpRevision();
    static QVariant toolServerData(const ToolServerClient& server, int role);

    QList<CustomExtension> m_extensions; // the built-in ones
    int m_toolServerCount = 0;
    int m_revision = 0;
};
