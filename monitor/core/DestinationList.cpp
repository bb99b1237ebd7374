#include "monitor/core/DestinationList.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <numeric>

namespace monitor {

namespace {

QCollator nameCollator()
{
    QCollator collator { QLocale() };
    collator.setCaseSensitivity(Qt::CaseSensitive);
    return collator;
}

QString textOf(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

SortMode sortModeOf(int32_t number)
{
    switch (number) {
    case 0:
        return SortMode::None;
    case 1:
        return SortMode::ByName;
    case 2:
        return SortMode::ByAddress;
    default:
        return SortMode::Unchosen;
    }
}

int DestinationList::compareNames(const std::string& a, const std::string& b)
{
    const int order = nameCollator().compare(textOf(a), textOf(b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void DestinationList::aboutToChange(ListChange change)
{
    if (m_observer)
        m_observer->rowsAboutToChange(change);
}

void DestinationList::changed(ListChange change)
{
    if (m_observer)
        m_observer->rowsChanged(change);
}

int DestinationList::append(Destination row)
{
    size_t at = m_rows.size();
    if (m_mode == SortMode::ByName) {
        // After the rows that collate equal, so that equal names keep their arrival order.
        const QCollator collator = nameCollator();
        const QString name = textOf(row.HostName);
        const auto place = std::upper_bound(
            m_rows.begin(), m_rows.end(), name, [&](const QString& value, const Destination& element) {
                return collator.compare(value, textOf(element.HostName)) < 0;
            });
        at = static_cast<size_t>(place - m_rows.begin());
    }
    const ListChange change { ListChange::Insert, static_cast<int>(at) };
    aboutToChange(change);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    m_keys.insert(m_keys.begin() + static_cast<std::ptrdiff_t>(at), m_nextKey++);
    changed(change);
    return change.row;
}

int DestinationList::rowOf(RowKey key) const
{
    const auto found = std::find(m_keys.begin(), m_keys.end(), key);
    return found == m_keys.end() ? -1 : static_cast<int>(found - m_keys.begin());
}

void DestinationList::update(int row, Destination value)
{
    if (row < 0 || row >= count())
        return;
    m_rows[static_cast<size_t>(row)] = std::move(value);
    if (m_observer)
        m_observer->rowUpdated(row);
}

void DestinationList::setState(int row, StateImage state)
{
    if (row < 0 || row >= count())
        return;
    m_rows[static_cast<size_t>(row)].State = state;
    if (m_observer)
        m_observer->rowUpdated(row);
}

void DestinationList::clear()
{
    const ListChange change { ListChange::Reset };
    aboutToChange(change);
    m_rows.clear();
    m_keys.clear();
    changed(change);
}

std::optional<Destination> DestinationList::remove(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::optional<Destination> last;
    // Highest first, so the lower indexes stay valid; the highest is the last one a
    // top-to-bottom removal would have left in the input row.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const int row = *it;
        if (row < 0 || row >= count())
            continue;
        const ListChange change { ListChange::Remove, row };
        aboutToChange(change);
        if (!last)
            last = std::move(m_rows[static_cast<size_t>(row)]);
        m_rows.erase(m_rows.begin() + row);
        m_keys.erase(m_keys.begin() + row);
        changed(change);
    }
    return last;
}

void DestinationList::ApplySort(SortMode mode)
{
    m_mode = mode;
    if (mode != SortMode::ByName && mode != SortMode::ByAddress)
        return;
    const ListChange change { ListChange::Reset };
    aboutToChange(change);
    std::vector<size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (mode == SortMode::ByName) {
        // One collation key per row instead of two conversions per comparison.
        const QCollator collator = nameCollator();
        std::vector<QCollatorSortKey> keys;
        keys.reserve(m_rows.size());
        for (const Destination& row : m_rows)
            keys.push_back(collator.sortKey(textOf(row.HostName)));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
    } else {
        std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
            return DestListCompare(m_rows[a], m_rows[b]) < 0;
        });
    }
    std::vector<Destination> sorted;
    std::vector<RowKey> sortedKeys;
    sorted.reserve(m_rows.size());
    sortedKeys.reserve(m_rows.size());
    for (size_t index : order) {
        sorted.push_back(std::move(m_rows[index]));
        sortedKeys.push_back(m_keys[index]);
    }
    m_rows = std::move(sorted);
    m_keys = std::move(sortedKeys);
    changed(change);
}

} // namespace monitor
