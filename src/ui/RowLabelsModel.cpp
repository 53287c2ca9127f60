#include "ui/RowLabelsModel.h"

#include "store/ListModels.h"

#include <QDateTime>
#include <QLocale>

RowLabelsModel::RowLabelsModel(QAbstractItemModel* source, QString fallbackTitle, Subtitle subtitle, QObject* parent)
    : QIdentityProxyModel(parent)
    , m_fallbackTitle(std::move(fallbackTitle))
    , m_subtitle(subtitle)
{
    setSourceModel(source);
}

QVariant RowLabelsModel::data(const QModelIndex& index, int role) const
{
    switch (role) {
    case TitleRole: {
        const QString name = QIdentityProxyModel::data(index, AssistantNameRole).toString();
        return name.isEmpty() ? m_fallbackTitle : name;
    }
    case SubtitleRole:
        if (m_subtitle == IntroSubtitle)
            return QIdentityProxyModel::data(index, IntroRole).toString();
        if (const QDateTime updated = QIdentityProxyModel::data(index, UpdatedAtRole).toDateTime(); updated.isValid())
            return QLocale().toString(updated.toLocalTime(), QLocale::ShortFormat);
        return QString();
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QHash<int, QByteArray> RowLabelsModel::roleNames() const
{
    QHash<int, QByteArray> names = QIdentityProxyModel::roleNames();
    names.insert(TitleRole, "title");
    names.insert(SubtitleRole, "subtitle");
    return names;
}
