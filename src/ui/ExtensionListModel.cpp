#include "ui/ExtensionListModel.h"

#include "core/Settings.h"
#include "extensions/ExtensionRegistry.h"

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

} // namespace

ExtensionListModel::ExtensionListModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_extensions(allExtensions())
{
    connect(&Settings::instance(), &Settings::valueChanged, this, [this](const QString& key) {
        for (int row = 0; row < m_extensions.size(); ++row) {
            if (Settings::extensionEnabledKey(m_extensions[row].id) == key) {
                ++m_revision;
                Q_EMIT dataChanged(index(row), index(row));
                Q_EMIT revisionChanged();
            }
        }
    });
}

int ExtensionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_extensions.size());
}

bool ExtensionListModel::isEnabled(const CustomExtension& extension) const
{
    return Settings::instance()
        .storedBool(Settings::extensionEnabledKey(extension.id))
        .value_or(extension.enabledByDefault);
}

QVariant ExtensionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_extensions.size())
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
    return {{IdRole, "extensionId"},   {TitleRole, "title"},
            {DescriptionRole, "description"}, {EnabledRole, "enabled"},
            {StateTextRole, "stateText"}, {NeedsConfirmationRole, "needsConfirmation"},
            {PanelRole, "panel"}};
}

QVariantMap ExtensionListModel::extensionAt(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= m_extensions.size())
        return values;
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.begin(); it != names.end(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}

void ExtensionListModel::setEnabled(int row, bool enabled)
{
    if (row >= 0 && row < m_extensions.size())
        Settings::instance().setBool(Settings::extensionEnabledKey(m_extensions[row].id), enabled);
}
