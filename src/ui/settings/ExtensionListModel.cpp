#include "ui/settings/ExtensionListModel.h"

#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"
#include "extensions/ToolServerManager.h"

#include <QVariantList>

#include <algorithm>

namespace {

// The settings panel of an extension: a view of this module, or none.
QString panelOf(const QString& extensionId)
{
    if (extensionId == QLatin1String("wolframAlphaRequest"))
        return QStringLiteral("WolframAlphaSettingsView.qml");
    if (extensionId == QLatin1String("cliExecution"))
        return QStringLiteral("ShellSettingsView.qml");
    if (extensionId == QLatin1String("memoryFunction"))
        return QStringLiteral("PineconeSettingsView.qml");
    return QString();
}

// What a tool server runs or where it is; its headers and environment are secrets.
QString toolServerDescription(const ToolServerEntry& entry)
{
    if (entry.isHttp())
        return QObject::tr("Tool server at %1").arg(entry.url.toString());
    return QObject::tr("Tool server started with: %1")
        .arg((QStringList(entry.command) + entry.args).join(QLatin1Char(' ')));
}

QVariantList toolList(const QList<ServerTool>& tools)
{
    QVariantList list;
    for (const ServerTool& tool : tools)
        list.append(
            QVariantMap{{QStringLiteral("name"), tool.name}, {QStringLiteral("description"), tool.description}});
    return list;
}

QString refusal(const Result<void>& edited) { return edited ? QString() : edited.errorText(); }

} // namespace

ExtensionListModel::ExtensionListModel(QObject* parent)
    : QAbstractListModel(parent)
{
    for (const CustomExtension& extension : allExtensions()) {
        if (!extension.id.startsWith(QLatin1String("toolServer/")))
            m_extensions.append(extension);
    }
    ToolServerManager& manager = ToolServerManager::instance();
    manager.reload(); // vorbel-cli may have changed the file meanwhile
    m_toolServerCount = int(manager.clients().size());
    connect(&manager, &ToolServerManager::changed, this, &ExtensionListModel::toolServersChanged);
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        for (int row = 0; row < m_extensions.size(); ++row) {
            if (Settings::extensionEnabledKey(m_extensions[row].id) == key) {
                Q_EMIT dataChanged(index(row), index(row));
                bumpRevision();
            }
        }
    });
}

void ExtensionListModel::bumpRevision()
{
    ++m_revision;
    Q_EMIT revisionChanged();
}

void ExtensionListModel::toolServersChanged()
{
    const int count = int(ToolServerManager::instance().clients().size());
    if (count != m_toolServerCount) {
        beginResetModel();
        m_toolServerCount = count;
        endResetModel();
    } else if (count > 0) {
        Q_EMIT dataChanged(index(int(m_extensions.size())), index(rowCount() - 1));
    }
    bumpRevision();
}

QString ExtensionListModel::toolServerFileError() const { return ToolServerManager::instance().fileError(); }

ToolServerClient* ExtensionListModel::toolServerAt(int row) const
{
    const QList<ToolServerClient*> clients = ToolServerManager::instance().clients();
    const int at = row - int(m_extensions.size());
    return at >= 0 && at < clients.size() && at < m_toolServerCount ? clients.at(at) : nullptr;
}

int ExtensionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_extensions.size()) + m_toolServerCount;
}

bool ExtensionListModel::isEnabled(const CustomExtension& extension) const
{
    return Settings::instance()
        .storedBool(Settings::extensionEnabledKey(extension.id))
        .value_or(extension.enabledByDefault);
}

QVariant ExtensionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (const ToolServerClient* server = toolServerAt(index.row()))
        return toolServerData(*server, role);
    if (index.row() >= m_extensions.size())
        return {};
    const CustomExtension& extension = m_extensions[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole: return extension.userFacingName;
    case IdRole: return extension.id;
    case DescriptionRole: return extension.userFacingDescription;
    case EnabledRole: return isEnabled(extension);
    case StateTextRole: return isEnabled(extension) ? tr("Enabled") : tr("Disabled");
    case NeedsConfirmationRole:
        return std::any_of(extension.functions.begin(), extension.functions.end(),
                           [](const CustomFunction& function) { return function.requiresConfirmation; });
    case PanelRole: return panelOf(extension.id);
    default: return {};
    }
}

QHash<int, QByteArray> ExtensionListModel::roleNames() const
{
    return {{IdRole, "extensionId"},
            {TitleRole, "title"},
            {DescriptionRole, "description"},
            {EnabledRole, "enabled"},
            {StateTextRole, "stateText"},
            {NeedsConfirmationRole, "needsConfirmation"},
            {PanelRole, "panel"},
            {IsToolServerRole, "isToolServer"},
            {AskBeforeCallRole, "askBeforeCall"},
            {StatusRole, "status"},
            {ToolsRole, "tools"},
            {LogRole, "log"},
            {FailedRole, "failed"}};
}

QVariantMap ExtensionListModel::extensionAt(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= rowCount())
        return values;
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.begin(); it != names.end(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}

void ExtensionListModel::setEnabled(int row, bool enabled)
{
    if (const ToolServerClient* server = toolServerAt(row))
        (void)ToolServerManager::instance().setEnabled(server->entry().name,
                                                       enabled); // a broken file shows as fileError
    else if (row >= 0 && row < m_extensions.size())
        Settings::instance().setBool(Settings::extensionEnabledKey(m_extensions[row].id), enabled);
}

QString ExtensionListModel::setAskBeforeCall(int row, bool ask)
{
    const ToolServerClient* server = toolServerAt(row);
    return server ? refusal(ToolServerManager::instance().setAskBeforeCall(server->entry().name, ask)) : QString();
}

void ExtensionListModel::reconnect(int row)
{
    if (ToolServerClient* server = toolServerAt(row))
        server->reconnect();
}

QString ExtensionListModel::remove(int row)
{
    const ToolServerClient* server = toolServerAt(row);
    return server ? refusal(ToolServerManager::instance().remove(server->entry().name)) : QString();
}

QString ExtensionListModel::addToolServer(const QString& name, const QString& commandLine, const QString& address)
{
    const QString command = commandLine.trimmed();
    const QString url = address.trimmed();
    if (command.isEmpty() == url.isEmpty())
        return tr("Enter either a command line or an address.");
    QJsonObject server;
    if (!command.isEmpty()) {
        const QStringList words = ToolServerConfig::splitCommandLine(command);
        server = ToolServerConfig::commandServer(words.value(0), words.mid(1));
    } else {
        server = ToolServerConfig::urlServer(url, {});
    }
    return refusal(ToolServerManager::instance().addServers({{name.trimmed(), server}}));
}

QString ExtensionListModel::pasteConfiguration(const QString& text)
{
    return refusal(ToolServerManager::instance().addPastedConfiguration(text));
}

QVariant ExtensionListModel::toolServerData(const ToolServerClient& server, int role)
{
    const ToolServerEntry& entry = server.entry();
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole: return entry.name;
    case IdRole: return QStringLiteral("toolServer/") + entry.name;
    case DescriptionRole: return toolServerDescription(entry);
    case EnabledRole: return entry.enabled;
    case StateTextRole: return entry.enabled ? tr("Enabled") : tr("Disabled");
    case NeedsConfirmationRole: return false; // its own box says it
    case IsToolServerRole: return true;
    case AskBeforeCallRole: return entry.askBeforeCall;
    case StatusRole: return server.statusText();
    case ToolsRole: return toolList(server.tools());
    case LogRole: return server.log().join(QLatin1Char('\n'));
    case FailedRole: return server.state() == ToolServerClient::State::Failed;
    default: return {};
    }
}
