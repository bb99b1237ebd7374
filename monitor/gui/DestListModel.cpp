#include "monitor/gui/DestListModel.h"

#include "common/desktop/gui/QtText.h"
#include "monitor/core/HistoryStore.h"
#include "monitor/gui/StatePictures.h"

namespace monitor {

DestListModel::DestListModel(DestinationList& list, const HistoryStore* history, QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
    , m_history(history)
{
    m_list.setObserver(this);
}

DestListModel::~DestListModel()
{
    m_list.setObserver(nullptr);
}

int DestListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

int DestListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnTotal;
}

QVariant DestListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.count())
        return {};
    const Destination& row = m_list.at(index.row());
    if (index.column() == UptimeColumn) {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole || !m_history)
            return {};
        const HistorySummary* summary = m_history->summaryOf(historyKeyOf(row));
        return summary && summary->day.tests ? QString::fromStdString(uptimeText(summary->day)) : QString();
    }
    if (role == Qt::DisplayRole)
        return desktop::toQString(row.column(index.column()));
    if (role == Qt::DecorationRole && index.column() == 0 && row.State != StateImage::None)
        return statePicture(row.State);
    return {};
}

QVariant DestListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnTotal)
        return {};
    if (section == UptimeColumn)
        return QString::fromLatin1(UptimeCaption);
    return QString::fromLatin1(Destination::ColumnCaptions[static_cast<size_t>(section)]);
}

Qt::ItemFlags DestListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void DestListModel::rowsAboutToChange(const ListChange& change)
{
    switch (change.kind) {
    case ListChange::Insert:
        beginInsertRows({}, change.row, change.row);
        break;
    case ListChange::Remove:
        beginRemoveRows({}, change.row, change.row);
        break;
    case ListChange::Reset:
        beginResetModel();
        break;
    }
}

void DestListModel::rowsChanged(const ListChange& change)
{
    switch (change.kind) {
    case ListChange::Insert:
        endInsertRows();
        break;
    case ListChange::Remove:
        endRemoveRows();
        break;
    case ListChange::Reset:
        endResetModel();
        break;
    }
}

void DestListModel::rowUpdated(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnTotal - 1));
}

void DestListModel::historyChanged(const HistoryKey* key)
{
    if (!key) {
        if (m_list.count() > 0)
            emit dataChanged(index(0, UptimeColumn), index(m_list.count() - 1, UptimeColumn));
        return;
    }
    for (int row = 0; row < m_list.count(); ++row) {
        if (historyKeyOf(m_list.at(row)) == *key)
            emit dataChanged(index(row, UptimeColumn), index(row, UptimeColumn));
    }
}

} // namespace monitor
