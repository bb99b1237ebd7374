#pragma once

// The ordered list of folder pairs with its check marks and selection, as the Settings page
// shows it. Entries are kept in display form ("source >> destination") because that is what
// the user edits and what a run splits again at the first " >> ".

#include <optional>
#include <string>
#include <vector>

namespace mirror {

struct FolderPair
{
    std::string text; // source + " >> " + destination
    bool enabled = true;
    std::string exclude {}; // the pair's own exclusion patterns, ";"-separated (ExcludeRules)

    static constexpr const char* Separator = " >> ";
    // Splits at the first separator; nothing when the text has none.
    std::optional<std::pair<std::string, std::string>> split() const;
    static std::string join(const std::string& source, const std::string& destination);
};

class FolderPairList
{
public:
    int count() const { return static_cast<int>(m_items.size()); }
    const FolderPair& at(int index) const { return m_items.at(static_cast<size_t>(index)); }
    const std::vector<FolderPair>& items() const { return m_items; }

    // -1 when nothing is selected.
    int selected() const { return m_selected; }
    void select(int index);

    // Appends a checked entry when both texts are non-empty; returns whether it did.
    bool add(const std::string& source, const std::string& destination);
    void append(FolderPair pair);
    void setEnabled(int index, bool enabled);
    void setExclude(int index, const std::string& patterns);
    // Removes the selected entry at once (nothing is selected afterwards); returns whether there was one.
    bool removeSelected();
    // Swap the selected entry with its neighbour; the selection follows. No wrap-around.
    bool moveSelectedUp();
    bool moveSelectedDown();
    void clear();

private:
    std::vector<FolderPair> m_items;
    int m_selected = -1;
};

} // namespace mirror
