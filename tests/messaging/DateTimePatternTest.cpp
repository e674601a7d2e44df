#include "messaging/DateTimePattern.h"

#include <gtest/gtest.h>

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

struct TPatternCase {
    QDateTime At;
    QString Pattern;
    QString Russian;
    QString English;
};

const QDateTime kAfternoon(QDate(2024, 11, 14), QTime(13, 30, 5, 7)); // a Thursday
const QDateTime kNight(QDate(2024, 3, 5), QTime(0, 7, 9));            // a Tuesday
const QDateTime kNoon(QDate(2024, 3, 5), QTime(12, 0));
const QDateTime kMidnight(QDate(2024, 3, 5), QTime(0, 0));

TEST(DateTimePattern, ElementsInRussianAndEnglish) {
    const std::vector<TPatternCase> cases{
        // day
        {kNight, u"d"_qs, u"5"_qs, u"5"_qs},
        {kNight, u"dd"_qs, u"05"_qs, u"05"_qs},
        {kAfternoon, u"ddd"_qs, u"чт"_qs, u"Thu"_qs},
        {kAfternoon, u"dddd"_qs, u"четверг"_qs, u"Thursday"_qs},
        {kAfternoon, u"ddddd"_qs, u"14.11.2024"_qs, u"11/14/24"_qs},
        {kAfternoon, u"dddddd"_qs, u"четверг, 14 ноября 2024 г."_qs, u"Thursday, November 14, 2024"_qs},
        {kAfternoon, u"ddddddd"_qs, u"четверг, 14 ноября 2024 г."_qs, u"Thursday, November 14, 2024"_qs},
        // month, and minutes right after an hour
        {kNight, u"m"_qs, u"3"_qs, u"3"_qs},
        {kNight, u"mm"_qs, u"03"_qs, u"03"_qs},
        {kAfternoon, u"mmm"_qs, u"нояб."_qs, u"Nov"_qs},
        {kAfternoon, u"mmmm"_qs, u"ноябрь"_qs, u"November"_qs},
        {kAfternoon, u"d mmmm yyyy"_qs, u"14 ноября 2024"_qs, u"14 November 2024"_qs},
        {kNight, u"h:m"_qs, u"0:7"_qs, u"0:7"_qs},
        {kNight, u"hh mm"_qs, u"00 07"_qs, u"00 07"_qs},
        {kNight, u"hh'h'mm"_qs, u"00h07"_qs, u"00h07"_qs},
        {kNight, u"mm hh"_qs, u"03 00"_qs, u"03 00"_qs},
        {kNight, u"hh:ss mm"_qs, u"00:09 03"_qs, u"00:09 03"_qs},
        // year and era
        {kAfternoon, u"y"_qs, u"24"_qs, u"24"_qs},
        {kAfternoon, u"yy"_qs, u"24"_qs, u"24"_qs},
        {kAfternoon, u"yyy"_qs, u"2024"_qs, u"2024"_qs},
        {kAfternoon, u"YYYY"_qs, u"2024"_qs, u"2024"_qs},
        {QDateTime(QDate(2005, 1, 2), QTime(1, 0)), u"e ee eee"_qs, u"5 05 2005"_qs, u"5 05 2005"_qs},
        {kAfternoon, u"g"_qs, u"н. э."_qs, u"AD"_qs},
        // time
        {kAfternoon, u"h"_qs, u"13"_qs, u"13"_qs},
        {kNight, u"hhh"_qs, u"00"_qs, u"00"_qs},
        {kNight, u"n nn s ss"_qs, u"7 07 9 09"_qs, u"7 07 9 09"_qs},
        {kAfternoon, u"z zz zzz zzzz"_qs, u"7 07 007 007"_qs, u"7 07 007 007"_qs},
        {kAfternoon, u"t"_qs, u"13:30"_qs, u"1:30 PM"_qs},
        {kAfternoon, u"tt"_qs, u"13:30:05"_qs, u"1:30:05 PM"_qs},
        {kAfternoon, u"c"_qs, u"14.11.2024 13:30:05"_qs, u"11/14/24 1:30:05 PM"_qs},
        {kMidnight, u"c"_qs, u"05.03.2024"_qs, u"3/5/24"_qs},
        {kAfternoon, QString(), u"14.11.2024 13:30:05"_qs, u"11/14/24 1:30:05 PM"_qs},
        // 12-hour clock
        {kAfternoon, u"h am/pm"_qs, u"1 pm"_qs, u"1 pm"_qs},
        {kAfternoon, u"h AM/pm"_qs, u"1 pm"_qs, u"1 pm"_qs},
        {kNight, u"h AM/pm"_qs, u"12 AM"_qs, u"12 AM"_qs},
        {kNoon, u"hh:nn a/p"_qs, u"12:00 p"_qs, u"12:00 p"_qs},
        {kNight, u"hh:nn A/P"_qs, u"12:07 A"_qs, u"12:07 A"_qs},
        {kAfternoon, u"h ampm"_qs, u"1 PM"_qs, u"1 PM"_qs},
        {kAfternoon, u"h 'am/pm'"_qs, u"13 am/pm"_qs, u"13 am/pm"_qs},
        {kAfternoon, u"h h am/pm"_qs, u"13 1 pm"_qs, u"13 1 pm"_qs},
        {kAfternoon, u"h ax am/pm"_qs, u"13 ax pm"_qs, u"13 ax pm"_qs},
        {kAfternoon, u"aaa aaaa"_qs, u"чт четверг"_qs, u"Thu Thursday"_qs},
        // separators, quotes and other characters
        {kAfternoon, u"dd/mm/yyyy"_qs, u"14.11.2024"_qs, u"14/11/2024"_qs},
        {kAfternoon, u"hh:nn"_qs, u"13:30"_qs, u"13:30"_qs},
        {kAfternoon, u"\"dd\" d 'mm' m"_qs, u"dd 14 mm 11"_qs, u"dd 14 mm 11"_qs},
        {kAfternoon, u"'it\"s' d"_qs, u"it\"s 14"_qs, u"it\"s 14"_qs},
        {kAfternoon, u"'open d"_qs, u"open d"_qs, u"open d"_qs},
        {kAfternoon, u"x-q, d!"_qs, u"x-q, 14!"_qs, u"x-q, 14!"_qs},
        {kAfternoon, u"DD.MM.YY"_qs, u"14.11.24"_qs, u"14.11.24"_qs},
    };
    for (const TPatternCase& c : cases) {
        EXPECT_EQ(FormatDateTimePattern(c.At, c.Pattern, kRussian), c.Russian)
            << "ru: " << c.Pattern.toStdString();
        EXPECT_EQ(FormatDateTimePattern(c.At, c.Pattern, kEnglish), c.English)
            << "en: " << c.Pattern.toStdString();
    }
}

} // namespace
