#include "monitor/gui/HistoryPane.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace monitor {

namespace {

constexpr int64_t SpanMs = ResultsKeptMs;

// The smallest of 1, 2, 5 times a power of ten that is at least `value`.
int64_t niceCeiling(int64_t value)
{
    int64_t step = 1;
    for (;;) {
        for (const int64_t factor : { 1, 2, 5 }) {
            if (step * factor >= value)
                return step * factor;
        }
        step *= 10;
    }
}

} // namespace

ResponseChart::ResponseChart(QWidget* parent)
    : QWidget(parent)
{
    setMinimumHeight(48);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ResponseChart::setPoints(std::vector<ChartPoint> points, int64_t nowMs)
{
    m_points = std::move(points);
    m_nowMs = nowMs;
    update();
}

void ResponseChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics = fontMetrics();
    int64_t slowest = 1;
    for (const ChartPoint& p : m_points)
        slowest = p.ok ? std::max(slowest, p.probeMs) : slowest;
    const int64_t top = niceCeiling(slowest);
    const QString topText = QStringLiteral("%1 ms").arg(top);
    const QRectF plot(metrics.horizontalAdvance(topText) + 8, 6, width() - metrics.horizontalAdvance(topText) - 14,
        height() - metrics.height() - 12);
    if (plot.width() < 10 || plot.height() < 10)
        return;
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(plot);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(2, plot.top() + metrics.ascent()), topText);
    painter.drawText(QPointF(2, plot.bottom()), QStringLiteral("0"));
    const qreal baseline = plot.bottom() + metrics.ascent() + 3;
    painter.drawText(QPointF(plot.left(), baseline), QStringLiteral("-48 h"));
    const QString day = QStringLiteral("-24 h");
    painter.drawText(QPointF(plot.center().x() - metrics.horizontalAdvance(day) / 2.0, baseline), day);
    const QString now = QStringLiteral("now");
    painter.drawText(QPointF(plot.right() - metrics.horizontalAdvance(now), baseline), now);

    const auto xOf = [&](int64_t at) {
        return plot.left() + plot.width() * static_cast<qreal>(at - (m_nowMs - SpanMs)) / static_cast<qreal>(SpanMs);
    };
    const auto yOf = [&](int64_t ms) { return plot.bottom() - plot.height() * static_cast<qreal>(ms) / static_cast<qreal>(top); };
    painter.setRenderHint(QPainter::Antialiasing);
    QColor failure(198, 40, 40, 150);
    painter.setPen(QPen(failure, 1.5));
    for (const ChartPoint& p : m_points) {
        if (!p.ok)
            painter.drawLine(QPointF(xOf(p.atMs), plot.top()), QPointF(xOf(p.atMs), plot.bottom()));
    }
    // A failure breaks the line, so that a gap is not drawn as a slope.
    QPainterPath line;
    bool drawing = false;
    for (const ChartPoint& p : m_points) {
        if (!p.ok || p.atMs < m_nowMs - SpanMs) {
            drawing = false;
            continue;
        }
        const QPointF point(xOf(p.atMs), yOf(p.probeMs));
        if (drawing)
            line.lineTo(point);
        else
            line.moveTo(point);
        drawing = true;
    }
    painter.setPen(QPen(QColor(33, 110, 180), 1.5));
    painter.drawPath(line);
}

HistoryPane::HistoryPane(HistoryStore& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    auto* header = new QHBoxLayout;
    title = new QLabel;
    uptimes = new QLabel;
    header->addWidget(title, 1);
    header->addWidget(uptimes);
    layout->addLayout(header);
    chart = new ResponseChart;
    layout->addWidget(chart, 1);
    showRow(std::nullopt, {});
}

HistoryPane::~HistoryPane()
{
    m_store.dropChart();
}

void HistoryPane::showRow(const std::optional<HistoryKey>& key, const QString& caption)
{
    if (!key) {
        m_store.dropChart();
        title->setText(QStringLiteral("History: select a destination"));
        uptimes->clear();
        chart->setPoints({}, QDateTime::currentMSecsSinceEpoch());
        return;
    }
    title->setText(QStringLiteral("History of ") + caption);
    m_store.requestChart(*key, [this](const HistoryStore::Chart& data) { showChart(data); });
}

void HistoryPane::showChart(const HistoryStore::Chart& data)
{
    const auto text = [](const Tally& t) { return QString::fromStdString(uptimeText(t)); };
    uptimes->setText(QStringLiteral("Uptime 24 h %1 · 7 d %2 · 30 d %3")
                         .arg(text(data.summary.day), text(data.summary.week), text(data.summary.month)));
    chart->setPoints(data.points, QDateTime::currentMSecsSinceEpoch());
}

} // namespace monitor
