// The folder-pair list as the Settings page drives it: add, remove, reorder, and the split of an
// entry into source and destination.

#include "mirror/core/FolderPairList.h"

#include <gtest/gtest.h>

using namespace mirror;

namespace {

std::vector<std::string> texts(const FolderPairList& list)
{
    std::vector<std::string> out;
    for (const FolderPair& pair : list.items())
        out.push_back(pair.text + (pair.enabled ? " +" : " -"));
    return out;
}

FolderPairList threePairs()
{
    FolderPairList list;
    list.add("/a", "/A");
    list.add("/b", "/B");
    list.add("/c", "/C");
    list.setEnabled(1, false);
    return list;
}

TEST(FolderPairList, AddAppendsACheckedEntryOnlyWhenBothPathsAreGiven)
{
    FolderPairList list;
    EXPECT_TRUE(list.add("/src dir", "/dst"));
    EXPECT_FALSE(list.add("", "/dst"));
    EXPECT_FALSE(list.add("/src", ""));
    EXPECT_TRUE(list.add("/src dir", "/dst")); // duplicates are the user's business
    EXPECT_EQ(texts(list), (std::vector<std::string> { "/src dir >> /dst +", "/src dir >> /dst +" }));
    EXPECT_EQ(list.selected(), -1);
}

TEST(FolderPairList, RemoveTakesTheSelectedEntryOnly)
{
    FolderPairList list = threePairs();
    EXPECT_FALSE(list.removeSelected());
    EXPECT_EQ(list.count(), 3);
    list.select(1);
    EXPECT_TRUE(list.removeSelected());
    EXPECT_EQ(texts(list), (std::vector<std::string> { "/a >> /A +", "/c >> /C +" }));
    EXPECT_EQ(list.selected(), -1);
    EXPECT_FALSE(list.removeSelected());
}

TEST(FolderPairList, MovesCarryCheckStateAndSelectionWithoutWrapping)
{
    FolderPairList list = threePairs();
    EXPECT_FALSE(list.moveSelectedUp());
    EXPECT_FALSE(list.moveSelectedDown());

    list.select(1);
    EXPECT_TRUE(list.moveSelectedUp());
    EXPECT_EQ(list.selected(), 0);
    EXPECT_EQ(texts(list), (std::vector<std::string> { "/b >> /B -", "/a >> /A +", "/c >> /C +" }));
    EXPECT_FALSE(list.moveSelectedUp());
    EXPECT_EQ(list.selected(), 0);

    EXPECT_TRUE(list.moveSelectedDown());
    EXPECT_TRUE(list.moveSelectedDown());
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(texts(list), (std::vector<std::string> { "/a >> /A +", "/c >> /C +", "/b >> /B -" }));
    EXPECT_FALSE(list.moveSelectedDown());
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(texts(list), (std::vector<std::string> { "/a >> /A +", "/c >> /C +", "/b >> /B -" }));
}

TEST(FolderPairList, SelectionOutsideTheListIsNoSelection)
{
    FolderPairList list = threePairs();
    list.select(3);
    EXPECT_EQ(list.selected(), -1);
    list.select(2);
    list.clear();
    EXPECT_EQ(list.selected(), -1);
    EXPECT_EQ(list.count(), 0);
}

TEST(FolderPair, SplitsAtTheFirstSeparator)
{
    EXPECT_EQ(
        FolderPair { "/src >> x >> /dst" }.split(), std::make_pair(std::string("/src"), std::string("x >> /dst")));
    EXPECT_EQ(
        FolderPair { FolderPair::join("/a b", "/c") }.split(), std::make_pair(std::string("/a b"), std::string("/c")));
    EXPECT_EQ(FolderPair { "/src>>/dst" }.split(), std::nullopt);
}

} // namespace
