#include "common/core/DateTimeText.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

TEST(DateTimeText, ShortDateBlankAndTimeWithSecondsWithoutZone)
{
    const QDateTime when(QDate(2005, 3, 14), QTime(9, 30, 5));
    EXPECT_EQ(core::dateTimeText(when), "3/14/05 9:30:05 AM");
}

TEST(DateTimeText, MidnightLeavesTheTimeOut)
{
    EXPECT_EQ(core::dateTimeText(QDateTime(QDate(2005, 3, 14), QTime(0, 0, 0))), "3/14/05");
    EXPECT_EQ(core::dateTimeText(QDateTime(QDate(2005, 3, 14), QTime(0, 0, 1))), "3/14/05 12:00:01 AM");
}

TEST(DateTimeText, FollowsTheDefaultLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string text = core::dateTimeText(QDateTime(QDate(2005, 3, 14), QTime(17, 4, 9)));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(text, "14.03.05 17:04:09");
}
