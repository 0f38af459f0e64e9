// The recent-files list: a compiled or chosen name goes to the front, the
// list keeps no duplicate of it, and the menu shows the entries before the
// first empty one.
#include "settings/RecentFiles.h"

#include <QStringList>

#include <gtest/gtest.h>

using zek::settings::Settings;
using zek::settings::kRecentFiles;

namespace {

Settings withList(const QStringList& names) {
    Settings s;
    for (int i = 0; i < names.size(); ++i)
        s.lastfile(i) = names[i];
    return s;
}

QStringList listOf(const Settings& s) {
    QStringList names;
    for (int i = 0; i < kRecentFiles; ++i)
        names << s.lastfile(i);
    while (!names.isEmpty() && names.last().isEmpty())
        names.removeLast();
    return names;
}

const QStringList kTen = {"/m/0.mml", "/m/1.mml", "/m/2.mml", "/m/3.mml", "/m/4.mml",
                          "/m/5.mml", "/m/6.mml", "/m/7.mml", "/m/8.mml", "/m/9.mml"};

struct AddCase {
    const char* what;
    QStringList before;
    QString added;
    QStringList after;
};

class AddRecentFileTest : public ::testing::TestWithParam<AddCase> {};

TEST_P(AddRecentFileTest, GivesTheList) {
    Settings s = withList(GetParam().before);
    zek::settings::AddRecentFile(s, GetParam().added);
    EXPECT_EQ(listOf(s), GetParam().after) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddRecentFileTest,
    ::testing::Values(
        AddCase{"into an empty list", {}, "/m/a.mml", {"/m/a.mml"}},
        AddCase{"a new name pushes the tenth off",
                kTen,
                "/m/new.mml",
                {"/m/new.mml", "/m/0.mml", "/m/1.mml", "/m/2.mml", "/m/3.mml", "/m/4.mml", "/m/5.mml", "/m/6.mml",
                 "/m/7.mml", "/m/8.mml"}},
        AddCase{"an entry in the middle moves to the front",
                {"/m/0.mml", "/m/1.mml", "/m/2.mml", "/m/3.mml"},
                "/m/2.mml",
                {"/m/2.mml", "/m/0.mml", "/m/1.mml", "/m/3.mml"}},
        AddCase{"the entry at index 9 moves to the front and nothing falls off",
                kTen,
                "/m/9.mml",
                {"/m/9.mml", "/m/0.mml", "/m/1.mml", "/m/2.mml", "/m/3.mml", "/m/4.mml", "/m/5.mml", "/m/6.mml",
                 "/m/7.mml", "/m/8.mml"}},
        AddCase{"the first entry again changes only its letter case",
                {"/m/Song.mml", "/m/b.mml"},
                "/m/SONG.mml",
                {"/m/SONG.mml", "/m/b.mml"}},
        AddCase{"a case-only difference replaces that entry",
                {"/m/a.mml", "/m/b.mml", "/m/Song.mml", "/m/c.mml"},
                "/m/song.MML",
                {"/m/song.MML", "/m/a.mml", "/m/b.mml", "/m/c.mml"}},
        AddCase{"only ASCII letters fold: full-width, Greek and Cyrillic ones keep two entries",
                {"/m/Ｓｏｎｇ-Ω-Я.mml", "/m/b.mml"},
                "/m/ｓｏｎｇ-ω-я.mml",
                {"/m/ｓｏｎｇ-ω-я.mml", "/m/Ｓｏｎｇ-Ω-Я.mml", "/m/b.mml"}},
        AddCase{"a gap is shifted with the whole list",
                {"/m/a.mml", "", "/m/c.mml"},
                "/m/new.mml",
                {"/m/new.mml", "/m/a.mml", "", "/m/c.mml"}},
        AddCase{"behind a gap an entry is still found",
                {"/m/a.mml", "", "/m/c.mml"},
                "/m/c.mml",
                {"/m/c.mml", "/m/a.mml"}},
        AddCase{"of two duplicates the first moves",
                {"/m/a.mml", "/m/d.mml", "/m/b.mml", "/m/d.mml"},
                "/m/d.mml",
                {"/m/d.mml", "/m/a.mml", "/m/b.mml", "/m/d.mml"}}));

TEST(RecentFiles, ChoosingAnEntryMovesItToTheFront) {
    Settings s = withList(kTen);
    zek::settings::MoveRecentFileToFront(s, 9);
    EXPECT_EQ(listOf(s).first(), "/m/9.mml");
    EXPECT_EQ(listOf(s).size(), kRecentFiles);
    zek::settings::MoveRecentFileToFront(s, 0);
    EXPECT_EQ(listOf(s).first(), "/m/9.mml") << "the first entry keeps its place";
}

TEST(RecentFiles, OnlyEntriesBeforeTheFirstGapAreShown) {
    EXPECT_EQ(zek::settings::VisibleRecentFiles(withList({})), 0);
    EXPECT_EQ(zek::settings::VisibleRecentFiles(withList({"", "/m/b.mml"})), 0);
    EXPECT_EQ(zek::settings::VisibleRecentFiles(withList({"/m/a.mml", "/m/b.mml", "", "/m/d.mml"})), 2);
    EXPECT_EQ(zek::settings::VisibleRecentFiles(withList(kTen)), kRecentFiles);
}

}  // namespace
