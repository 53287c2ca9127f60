#pragma once

#include "store/ConversationSearch.h"

#include <QHash>
#include <QSortFilterProxyModel>

// The conversation rows while a search is on: only the hits, in the list's
// order, each with its snippet. With no search every row shows.
class SearchRowsModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum Role { SnippetRole = Qt::UserRole + 150 };

    explicit SearchRowsModel(QAbstractItemModel* rows, QObject* parent = nullptr);

    // Hits by conversation id (as the rows' "id" role gives it).
    void showHits(QHash<QString, SearchHit> hits);
    void showAll();
    bool isFiltering() const { return m_filtering; }
    // The hit of a row, when it shows one.
    const SearchHit* hitAt(int row) const;

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The snippet as styled text: escaped, its matches in bold.
    static QString styledSnippet(const SearchHit& hit);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString idAt(int sourceRow) const;
    void snippetsChanged();

    QHash<QString, SearchHit> m_hits;
    bool m_filtering = false;
};
