#pragma once

// The destination list as the list control shows it: the row's six columns, the state picture
// beside the caption, and "Uptime 24 h" from the history; nothing editable. It only follows
// DestinationList and HistoryStore; it changes nothing itself.

#include "monitor/core/DestinationList.h"
#include "monitor/core/ResultSink.h"

#include <QAbstractTableModel>

namespace monitor {

class HistoryStore;

class DestListModel final : public QAbstractTableModel, public DestinationListObserver
{
    Q_OBJECT
public:
    static constexpr int UptimeColumn = Destination::ColumnCount;
    static constexpr int ColumnTotal = UptimeColumn + 1;
    static constexpr int ColumnWidths[ColumnTotal] = { 150, 100, 50, 40, 50, 180, 80 };
    static constexpr const char* UptimeCaption = "Uptime 24 h";

    // Without a history the uptime column stays empty.
    explicit DestListModel(DestinationList& list, const HistoryStore* history = nullptr, QObject* parent = nullptr);
    ~DestListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void rowsAboutToChange(const ListChange& change) override;
    void rowsChanged(const ListChange& change) override;
    void rowUpdated(int row) override;
    // The uptime of the rows of `key` changed, or of every row (null).
    void historyChanged(const HistoryKey* key);

private:
    DestinationList& m_list;
    const HistoryStore* m_history;
};

} // namespace monitor
