// Exclusion patterns with gitignore's rules, one row per rule they must keep.

#include "mirror/core/ExcludeRules.h"

#include <gtest/gtest.h>

using mirror::ExcludeRules;

namespace {

struct Case
{
    const char* global;
    const char* pair;
    const char* path;
    bool folder;
    bool excluded;
};

const Case Cases[] = {
    // a name without a slash matches at any depth, files and folders alike
    { "*.tmp", "", "a.tmp", false, true },
    { "*.tmp", "", "deep/er/a.tmp", false, true },
    { "*.tmp", "", "a.tmp.txt", false, false },
    { "*.tmp", "", "x.tmp", true, true },
    // a trailing slash: folders only
    { "cache/", "", "src/cache", true, true },
    { "cache/", "", "src/cache", false, false },
    // a leading or inner slash anchors at the pair's top
    { "/build/", "", "build", true, true },
    { "/build/", "", "sub/build", true, false },
    { "doc/*.txt", "", "doc/a.txt", false, true },
    { "doc/*.txt", "", "x/doc/a.txt", false, false },
    { "doc/*.txt", "", "doc/sub/a.txt", false, false }, // "*" never spans a slash
    // "**" spans folders
    { "**/node_modules/", "", "node_modules", true, true },
    { "**/node_modules/", "", "web/app/node_modules", true, true },
    { "a/**/b", "", "a/b", false, true },
    { "a/**/b", "", "a/x/y/b", false, true },
    { "logs/**", "", "logs/today.txt", false, true },
    { "logs/**", "", "logs", true, false }, // everything inside, not the folder itself
    // the last match decides; the pair's patterns follow the global ones
    { "*.tmp;!keep.tmp", "", "keep.tmp", false, false },
    { "!keep.tmp;*.tmp", "", "keep.tmp", false, true },
    { "*.tmp", "!keep.tmp", "keep.tmp", false, false },
    { "", "*.log", "x.log", false, true },
    // "?", brackets and classes; escapes; a ";" inside a pattern written "\;"
    { "file?.dat", "", "file1.dat", false, true },
    { "file?.dat", "", "file10.dat", false, false },
    { "[abc]*.txt", "", "b1.txt", false, true },
    { "[!abc]*.txt", "", "b1.txt", false, false },
    { "v[0-9][[:digit:]]", "", "v42", false, true },
    { "\\!important", "", "!important", false, true },
    { "\\#note", "", "#note", false, true },
    { "#comment;x", "", "#comment", false, false },
    { "a\\;b.txt", "", "a;b.txt", false, true },
    { "a\\;b.txt", "", "a", false, false },
    // blanks around a pattern are dropped; "\ " keeps one
    { " *.bak ; *.old", "", "x.old", false, true },
    { "name\\ ", "", "name ", false, true },
    { "name\\ ", "", "name", false, false },
};

} // namespace

TEST(ExcludeRules, FollowGitignoreRules)
{
    for (const Case& c : Cases) {
        std::string bad;
        const auto rules = ExcludeRules::compile(c.global, c.pair, bad);
        ASSERT_TRUE(rules) << c.global << " | " << c.pair << " bad: " << bad;
        EXPECT_EQ(rules->excluded(c.path, c.folder), c.excluded)
            << "patterns \"" << c.global << "\" then \"" << c.pair << "\" on " << c.path << (c.folder ? "/" : "");
    }
}

TEST(ExcludeRules, UnreadablePatternsAreNamed)
{
    const std::pair<const char*, const char*> bad[] = {
        { "*.tmp;[abc", "[abc" },
        { "ok;trailing\\", "trailing\\" },
        { "x[[:alpha:]", "x[[:alpha:]" },
    };
    for (const auto& [list, named] : bad) {
        std::string found;
        EXPECT_FALSE(ExcludeRules::compile("", list, found)) << list;
        EXPECT_EQ(found, named);
    }
    std::string found;
    EXPECT_TRUE(ExcludeRules::compile("[]]x;a\\\\", "", found)) << found; // "]" first in a class; an escaped backslash
}

TEST(ExcludeRules, ManyStarsStayFast)
{
    std::string bad;
    const auto rules = ExcludeRules::compile("*a*a*a*a*a*a*a*a*a*b", "", bad);
    ASSERT_TRUE(rules);
    EXPECT_FALSE(rules->excluded(std::string(4000, 'a'), false));
}
