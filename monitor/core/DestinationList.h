#pragma once

// The destination list without a window: the rows in list order (the order of test passes, of
// the data file and of the export), the three sort modes, Add and Remove. A view follows it
// through one observer; row selection is the view's, and the commands take the selected rows.

#include "monitor/core/Destination.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

// The sort choice, as stored in "SortList".
enum class SortMode
{
    Unchosen = -1, // nothing chosen: the list stays as it is
    None = 0, // "Do not sort"
    ByName = 1, // "Sort by Name": kept sorted, every added row goes to its place
    ByAddress = 2, // "Sort by IP Address": sorted once when chosen; later rows go to the end
};

inline constexpr const char* SortChoices[] = { "Do not sort", "Sort by Name", "Sort by IP Address" };

// The sort mode of a stored number; Unchosen for anything but 0, 1 and 2.
SortMode sortModeOf(int32_t number);

// What happened to the rows, for a view that must be told before and after.
struct ListChange
{
    enum Kind
    {
        Insert, // one row at `row`
        Remove, // one row at `row`
        Reset, // any number of rows moved, came or went
    } kind;
    int row = -1;
};

class DestinationListObserver
{
public:
    virtual ~DestinationListObserver() = default;
    virtual void rowsAboutToChange(const ListChange& change) = 0;
    virtual void rowsChanged(const ListChange& change) = 0;
    // The texts or the picture of one row changed in place.
    virtual void rowUpdated(int row) = 0;
};

class DestinationList
{
public:
    // Names one row for as long as it is in the list, wherever sorting or other rows' coming
    // and going move it; never given to another row. The test engine finds its rows by it.
    using RowKey = uint64_t;

    void setObserver(DestinationListObserver* observer) { m_observer = observer; }

    int count() const { return static_cast<int>(m_rows.size()); }
    const Destination& at(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    const std::vector<Destination>& rows() const { return m_rows; }
    RowKey keyOf(int row) const { return m_keys.at(static_cast<size_t>(row)); }
    // The row's index now; -1 when it has left the list.
    int rowOf(RowKey key) const;

    // Adds a row at the end, or at its sorted place in ByName mode; returns its index.
    int append(Destination row);
    // Replaces the texts and picture of a row in place (the test engine's results).
    void update(int row, Destination value);
    void setState(int row, StateImage state);
    void clear();
    // Removes the given rows (invalid and repeated indexes are ignored) and returns the last
    // one removed, which is the highest of them in list order; nothing when none was removed.
    std::optional<Destination> remove(std::vector<int> rows);

    SortMode sortMode() const { return m_mode; }
    // Sets the mode and applies it: ByName and ByAddress sort the rows now (stably).
    void ApplySort(SortMode mode);

    // The order of "Sort by Name": the locale's collation of the captions, letter case counting.
    static int compareNames(const std::string& a, const std::string& b);

private:
    void aboutToChange(ListChange change);
    void changed(ListChange change);

    std::vector<Destination> m_rows;
    std::vector<RowKey> m_keys; // beside m_rows, index for index
    RowKey m_nextKey = 1;
    SortMode m_mode = SortMode::Unchosen;
    DestinationListObserver* m_observer = nullptr;
};

} // namespace monitor
