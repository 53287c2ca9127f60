#pragma once

#include <QIdentityProxyModel>

// Adds the two lines a list row shows to a record list: "title" (a
// conversation's own title, else the assistant's name, or a fallback) and
// "subtitle" (the assistant's name and the last change in the user's short
// date format, or the intro).
class RowLabelsModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    enum Subtitle { UpdatedAtSubtitle, IntroSubtitle };
    enum Role { TitleRole = Qt::UserRole + 100, SubtitleRole };

    RowLabelsModel(QAbstractItemModel* source, QString fallbackTitle, Subtitle subtitle, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QString assistantName(const QModelIndex& index) const;

    QString m_fallbackTitle;
    Subtitle m_subtitle;
};
