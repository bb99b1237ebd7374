#pragma once

// The history of the selected row, below the list: its uptime over 24 hours, 7 days and 30
// days and its response-time chart of the last 48 hours with failures marked. The data comes
// from HistoryStore in the background; painting a chart of 48 hours is all the GUI thread does.

#include "monitor/core/HistoryStore.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace monitor {

// Probe times as a line over the last 48 hours, failures as red marks across the chart.
class ResponseChart final : public QWidget
{
    Q_OBJECT
public:
    explicit ResponseChart(QWidget* parent = nullptr);

    void setPoints(std::vector<ChartPoint> points, int64_t nowMs);
    const std::vector<ChartPoint>& points() const { return m_points; }
    QSize sizeHint() const override { return { 400, 90 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ChartPoint> m_points;
    int64_t m_nowMs = 0;
};

class HistoryPane final : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPane(HistoryStore& store, QWidget* parent = nullptr);
    ~HistoryPane() override;

    // The row to show, or none.
    void showRow(const std::optional<HistoryKey>& key, const QString& caption);

    QLabel* title;
    QLabel* uptimes;
    ResponseChart* chart;

private:
    void showChart(const HistoryStore::Chart& data);

    HistoryStore& m_store;
};

} // namespace monitor
