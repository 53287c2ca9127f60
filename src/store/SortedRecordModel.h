#pragma once

#include <QAbstractListModel>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

// A live, sorted list of records for the screens. Inserts, removals and moves
// are reported row by row and a change to one record as dataChanged of its row,
// never as a reset, so a streaming reply redraws one bubble only.
template <typename T>
class SortedRecordModel : public QAbstractListModel {
public:
    using Ptr = std::shared_ptr<T>;
    using Less = std::function<bool(const T&, const T&)>;
    using Filter = std::function<bool(const T&)>;

    SortedRecordModel(Less less, Filter filter, QObject* parent)
        : QAbstractListModel(parent)
        , m_less(std::move(less))
        , m_filter(std::move(filter))
    {
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    Ptr recordAt(int row) const { return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].record : nullptr; }

    // Most changes touch the newest rows (a streaming reply is the last
    // message), so the search starts from the end.
    int rowOf(const T* record) const
    {
        for (size_t i = m_rows.size(); i-- > 0;) {
            if (m_rows[i].record.get() == record)
                return int(i);
        }
        return -1;
    }

protected:
    struct Row {
        Ptr record;
    };

    void reset(std::vector<Ptr> records)
    {
        beginResetModel();
        records.erase(std::remove_if(records.begin(), records.end(), [this](const Ptr& r) { return !m_filter(*r); }),
                      records.end());
        std::stable_sort(records.begin(), records.end(), [this](const Ptr& a, const Ptr& b) { return m_less(*a, *b); });
        m_rows.clear();
        for (auto& r : records)
            m_rows.push_back({r});
        endResetModel();
    }

    void recordInserted(const Ptr& record)
    {
        if (m_filter(*record))
            insertSorted(record);
    }

    void recordRemoved(const Ptr& record)
    {
        const int row = rowOf(record.get());
        if (row < 0)
            return;
        beginRemoveRows(QModelIndex(), row, row);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
    }

    // A changed record may enter or leave the filter or move to a new place.
    void recordChanged(const Ptr& record)
    {
        const int row = rowOf(record.get());
        const bool wanted = m_filter(*record);
        if (row < 0) {
            if (wanted)
                insertSorted(record);
            return;
        }
        if (!wanted) {
            recordRemoved(record);
            return;
        }
        const bool inPlace = (row == 0 || !m_less(*record, *m_rows[size_t(row - 1)].record))
                          && (row + 1 == int(m_rows.size()) || !m_less(*m_rows[size_t(row) + 1].record, *record));
        if (inPlace) {
            recordUpdated(row);
            return;
        }
        const int target = insertionRow(record, row);
        beginMoveRows(QModelIndex(), row, row, QModelIndex(), target > row ? target + 1 : target);
        Row moving = std::move(m_rows[size_t(row)]);
        m_rows.erase(m_rows.begin() + row);
        m_rows.insert(m_rows.begin() + target, std::move(moving));
        endMoveRows();
        recordUpdated(target);
    }

    // The record at `row` changed in place; a view model may name the roles it changed.
    virtual void recordUpdated(int row)
    {
        const QModelIndex index = this->index(row);
        Q_EMIT dataChanged(index, index);
    }

private:
    // The row the record belongs at once the row `skip` (its old place) is taken out.
    int insertionRow(const Ptr& record, int skip) const
    {
        int position = 0;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (int(i) == skip)
                continue;
            if (!m_less(*record, *m_rows[i].record))
                ++position;
            else
                break;
        }
        return position;
    }

    void insertSorted(const Ptr& record)
    {
        // upper_bound keeps equal keys in arrival order.
        auto it = std::upper_bound(m_rows.begin(), m_rows.end(), record,
                                   [this](const Ptr& r, const Row& row) { return m_less(*r, *row.record); });
        const int row = int(it - m_rows.begin());
        beginInsertRows(QModelIndex(), row, row);
        m_rows.insert(it, Row{record});
        endInsertRows();
    }

    Less m_less;
    Filter m_filter;
    std::vector<Row> m_rows;
};
