#include "ui/mainwindow/SearchRowsModel.h"

#include "store/ListModels.h"

SearchRowsModel::SearchRowsModel(QAbstractItemModel* rows, QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSourceModel(rows);
}

void SearchRowsModel::showHits(QHash<QString, SearchHit> hits)
{
    m_hits = std::move(hits);
    m_filtering = true;
    invalidateRowsFilter();
    snippetsChanged();
}

// Rows that stay through a new filter keep their delegates, which must hear of their new snippet.
void SearchRowsModel::snippetsChanged()
{
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {SnippetRole});
}

void SearchRowsModel::showAll()
{
    if (!m_filtering)
        return;
    m_hits.clear();
    m_filtering = false;
    invalidateRowsFilter();
    snippetsChanged();
}

QString SearchRowsModel::idAt(int sourceRow) const
{
    return sourceModel()->index(sourceRow, 0).data(RecordIdRole).toString();
}

bool SearchRowsModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    return !m_filtering || m_hits.contains(idAt(sourceRow));
}

const SearchHit* SearchRowsModel::hitAt(int row) const
{
    if (!m_filtering || row < 0 || row >= rowCount())
        return nullptr;
    const auto it = m_hits.constFind(idAt(mapToSource(index(row, 0)).row()));
    return it == m_hits.constEnd() ? nullptr : &*it;
}

QString SearchRowsModel::styledSnippet(const SearchHit& hit)
{
    QString styled;
    qsizetype at = 0;
    for (const auto& [start, length] : hit.matches) {
        if (start < at || start + length > hit.snippet.size())
            continue;
        styled += hit.snippet.mid(at, start - at).toHtmlEscaped() + QStringLiteral("<b>")
                + hit.snippet.mid(start, length).toHtmlEscaped() + QStringLiteral("</b>");
        at = start + length;
    }
    return styled + hit.snippet.mid(at).toHtmlEscaped();
}

QVariant SearchRowsModel::data(const QModelIndex& index, int role) const
{
    if (role != SnippetRole)
        return QSortFilterProxyModel::data(index, role);
    const SearchHit* hit = hitAt(index.row());
    return hit ? styledSnippet(*hit) : QString();
}

QHash<int, QByteArray> SearchRowsModel::roleNames() const
{
    QHash<int, QByteArray> names = QSortFilterProxyModel::roleNames();
    names.insert(SnippetRole, "snippet");
    return names;
}
