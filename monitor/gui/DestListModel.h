#pragma once

// The destination list as the list control shows it: six columns, the state picture beside the
// caption, nothing editable. It only follows DestinationList; it changes nothing itself.

#include "monitor/core/DestinationList.h"

#include <QAbstractTableModel>

namespace monitor {

class DestListModel final : public QAbstractTableModel, public DestinationListObserver
{
    Q_OBJECT
public:
    static constexpr int ColumnWidths[Destination::ColumnCount] = { 150, 100, 50, 40, 50, 180 };

    explicit DestListModel(DestinationList& list, QObject* parent = nullptr);
    ~DestListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void rowsAboutToChange(const ListChange& change) override;
    void rowsChanged(const ListChange& change) override;
    void rowUpdated(int row) override;

private:
    DestinationList& m_list;
};

} // namespace monitor
