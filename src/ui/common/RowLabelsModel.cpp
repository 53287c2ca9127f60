#include "ui/common/RowLabelsModel.h"

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
        const QString title = m_subtitle == UpdatedAtSubtitle ? QIdentityProxyModel::data(index, ::TitleRole).toString()
                                                              : QString();
        return title.isEmpty() ? assistantName(index) : title;
    }
    case SubtitleRole: {
        if (m_subtitle == IntroSubtitle)
            return QIdentityProxyModel::data(index, IntroRole).toString();
        // The assistant's name, then the date: a titled row still says who it is with.
        const QDateTime updated = QIdentityProxyModel::data(index, UpdatedAtRole).toDateTime();
        const QString name = assistantName(index);
        return updated.isValid()
                 ? name + QStringLiteral(" · ") + QLocale().toString(updated.toLocalTime(), QLocale::ShortFormat)
                 : name;
    }
    default: return QIdentityProxyModel::data(index, role);
    }
}

QString RowLabelsModel::assistantName(const QModelIndex& index) const
{
    const QString name = QIdentityProxyModel::data(index, AssistantNameRole).toString();
    return name.isEmpty() ? m_fallbackTitle : name;
}

QHash<int, QByteArray> RowLabelsModel::roleNames() const
{
    QHash<int, QByteArray> names = QIdentityProxyModel::roleNames();
    names.insert(TitleRole, "title");
    names.insert(SubtitleRole, "subtitle");
    return names;
}
